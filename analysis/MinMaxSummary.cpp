#include "analysis/MinMaxSummary.h"

#include <algorithm>

namespace {

void Include(MinMax& into, float v) {
  if (v < into.Min) into.Min = v;
  if (v > into.Max) into.Max = v;
}

void Include(MinMax& into, const MinMax& block) {
  if (block.Min < into.Min) into.Min = block.Min;
  if (block.Max > into.Max) into.Max = block.Max;
}

MinMax Scan(const float* x, std::size_t count) {
  // Eight lanes, which the compiler can keep in vector registers.
  constexpr std::size_t kLanes = 8;
  MinMax lanes[kLanes];
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    for (std::size_t q = 0; q < kLanes; ++q) Include(lanes[q], x[i + q]);
  }
  for (; i < count; ++i) Include(lanes[0], x[i]);
  for (std::size_t q = 1; q < kLanes; ++q) Include(lanes[0], lanes[q]);
  return lanes[0];
}

}  // namespace

MinMaxSummary::MinMaxSummary(std::span<const float> samples) : samples_(samples) {
  const std::size_t n = samples.size();
  std::vector<MinMax> base((n + kBaseBlock - 1) / kBaseBlock);
  for (std::size_t b = 0; b < base.size(); ++b) {
    const std::size_t from = b * kBaseBlock;
    base[b] = Scan(samples.data() + from, std::min(kBaseBlock, n - from));
  }
  levels_.push_back(std::move(base));
  while (levels_.back().size() > 1) {
    const std::vector<MinMax>& below = levels_.back();
    std::vector<MinMax> above((below.size() + kFanOut - 1) / kFanOut);
    for (std::size_t b = 0; b < below.size(); ++b) Include(above[b / kFanOut], below[b]);
    levels_.push_back(std::move(above));
  }
}

MinMax MinMaxSummary::Range(std::size_t first, std::size_t count) const {
  const std::size_t n = samples_.size();
  if (first >= n || count == 0) return {};
  const std::size_t end = first + std::min(count, n - first);
  // Short ranges, and the parts before the first and after the last whole
  // base block, straight from the samples.
  if (end - first < 2 * kBaseBlock) return Scan(samples_.data() + first, end - first);
  std::size_t lo = (first + kBaseBlock - 1) / kBaseBlock;  // first whole block
  std::size_t hi = end / kBaseBlock;                       // past the last whole block
  MinMax m = Scan(samples_.data() + first, lo * kBaseBlock - first);
  Include(m, Scan(samples_.data() + hi * kBaseBlock, end - hi * kBaseBlock));
  // Climb: at each level take the blocks that do not fill a block above.
  for (std::size_t level = 0; lo < hi; ++level) {
    const std::vector<MinMax>& blocks = levels_[level];
    if (level + 1 == levels_.size()) {
      for (std::size_t b = lo; b < hi; ++b) Include(m, blocks[b]);
      break;
    }
    while (lo < hi && lo % kFanOut != 0) Include(m, blocks[lo++]);
    while (lo < hi && hi % kFanOut != 0) Include(m, blocks[--hi]);
    lo /= kFanOut;
    hi /= kFanOut;
  }
  return m;
}

void MinMaxSummary::Columns(std::size_t first, std::size_t count, std::span<MinMax> columns) const {
  const std::size_t width = columns.size();
  if (width == 0) return;
  // Column c begins at the first i with (i − first)·W ≥ c·count.
  auto begin = [&](std::size_t c) {
    const unsigned __int128 product = static_cast<unsigned __int128>(c) * count;
    return first + static_cast<std::size_t>((product + width - 1) / width);
  };
  std::size_t from = begin(0);
  for (std::size_t c = 0; c < width; ++c) {
    const std::size_t to = begin(c + 1);
    columns[c] = Range(from, to - from);
    from = to;
  }
}
