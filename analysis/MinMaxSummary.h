// Min/max summary of one long channel for drawing it whole: a pyramid of block
// extremes (blocks of 32 samples, then 8 times larger at every level), built
// once, from which the exact smallest and largest sample of any range comes in
// a few dozen steps; the ends of a range that do not fill a block are read
// from the samples themselves. So a column of pixels over a million samples
// costs what one over a hundred does.
#pragma once

#include <cstddef>
#include <limits>
#include <span>
#include <vector>

struct MinMax {
  float Min = std::numeric_limits<float>::infinity();  // +∞ and −∞: no sample
  float Max = -std::numeric_limits<float>::infinity();

  bool Empty() const { return Min > Max; }
};

class MinMaxSummary {
 public:
  static constexpr std::size_t kBaseBlock = 32;
  static constexpr std::size_t kFanOut = 8;

  MinMaxSummary() = default;
  // Keeps a view of `samples`: they must outlive the summary and stay
  // unchanged (build a new summary after a load or a filter). Samples that
  // are not a number are passed over.
  explicit MinMaxSummary(std::span<const float> samples);

  std::size_t Size() const { return samples_.size(); }

  // The extremes of samples [first, first + count), clipped to the channel.
  MinMax Range(std::size_t first, std::size_t count) const;

  // Samples [first, first + count) over columns.size() pixel columns: column c
  // covers the samples i with ⌊(i − first)·W / count⌋ = c, so every sample
  // falls in exactly one column and a column may hold none when count < W.
  void Columns(std::size_t first, std::size_t count, std::span<MinMax> columns) const;

 private:
  std::span<const float> samples_;
  // levels_[0]: blocks of kBaseBlock samples; levels_[l + 1]: kFanOut blocks
  // of levels_[l]. The last block of a level may be partial.
  std::vector<std::vector<MinMax>> levels_;
};
