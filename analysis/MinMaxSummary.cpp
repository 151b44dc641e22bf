#include "analysis/MinMaxSummary.h"

#include <emmintrin.h>

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
  // Eight lanes in two SSE registers each; MINPS(a, b) is a < b ? a : b, so a
  // sample that is not a number never replaces a lane's value.
  __m128 lo0 = _mm_set1_ps(std::numeric_limits<float>::infinity()), lo1 = lo0;
  __m128 hi0 = _mm_set1_ps(-std::numeric_limits<float>::infinity()), hi1 = hi0;
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128 a = _mm_loadu_ps(x + i), b = _mm_loadu_ps(x + i + 4);
    lo0 = _mm_min_ps(a, lo0);
    lo1 = _mm_min_ps(b, lo1);
    hi0 = _mm_max_ps(a, hi0);
    hi1 = _mm_max_ps(b, hi1);
  }
  alignas(16) float lo[8], hi[8];
  _mm_store_ps(lo, lo0);
  _mm_store_ps(lo + 4, lo1);
  _mm_store_ps(hi, hi0);
  _mm_store_ps(hi + 4, hi1);
  MinMax m;
  for (int q = 0; q < 8; ++q) Include(m, MinMax{lo[q], hi[q]});
  for (; i < count; ++i) Include(m, x[i]);
  return m;
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
