#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/MinMaxSummary.h"
#include "tests/support/GaussianNoise.h"

namespace {

MinMax BruteForce(const std::vector<float>& x, std::size_t first, std::size_t end) {
  MinMax m;
  for (std::size_t i = first; i < std::min(end, x.size()); ++i) {
    if (x[i] < m.Min) m.Min = x[i];
    if (x[i] > m.Max) m.Max = x[i];
  }
  return m;
}

std::vector<float> Noisy(std::size_t n, std::uint64_t seed) {
  GaussianNoise g(seed);
  std::vector<float> x(n);
  // A slow wave under the noise, so that extremes cluster as in a record.
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = static_cast<float>(10.0 * std::sin(0.0007 * static_cast<double>(i)) + g.Next());
  }
  return x;
}

void ExpectSame(const MinMax& got, const MinMax& want, std::size_t first, std::size_t count) {
  EXPECT_EQ(got.Min, want.Min) << first << " + " << count;
  EXPECT_EQ(got.Max, want.Max) << first << " + " << count;
}

// Every range of short records, which puts the ends of a range at every
// position within and across the blocks of the first levels.
TEST(MinMaxSummaryTest, EveryRangeOfShortRecords) {
  for (const std::size_t n : {0u, 1u, 31u, 32u, 33u, 256u, 300u, 2100u}) {
    const std::vector<float> x = Noisy(n, 100 + n);
    const MinMaxSummary summary(x);
    const std::size_t step = n > 500 ? 7 : 1;
    for (std::size_t first = 0; first <= n; first += step) {
      for (std::size_t count = 0; first + count <= n + 3; count += step) {
        ExpectSame(summary.Range(first, count), BruteForce(x, first, first + count), first, count);
      }
    }
  }
}

TEST(MinMaxSummaryTest, RandomRangesOfALongRecord) {
  const std::size_t n = 300017;  // four levels above the base blocks
  const std::vector<float> x = Noisy(n, 7);
  const MinMaxSummary summary(x);
  std::uint64_t state = 12345;
  auto next = [&](std::size_t below) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::size_t>((state >> 20) % below);
  };
  for (int k = 0; k < 2000; ++k) {
    const std::size_t first = next(n);
    const std::size_t count = next(k % 2 == 0 ? n : 5000);
    ExpectSame(summary.Range(first, count), BruteForce(x, first, first + count), first, count);
  }
  ExpectSame(summary.Range(0, n), BruteForce(x, 0, n), 0, n);
}

TEST(MinMaxSummaryTest, ColumnsCoverEverySampleOnce) {
  const std::size_t n = 100003;
  const std::vector<float> x = Noisy(n, 9);
  const MinMaxSummary summary(x);
  struct Case {
    std::size_t first, count, width;
  };
  const Case cases[] = {
      {0, n, 1},        {0, n, 1600}, {17, 50000, 1600}, {12345, 700, 1600},  // fewer samples than columns
      {n - 10, 100, 7},                                                       // past the end
      {31, 33, 1},      {0, 0, 5},    {99999, 4, 4},
  };
  for (const Case& c : cases) {
    std::vector<MinMax> columns(c.width);
    summary.Columns(c.first, c.count, columns);
    std::vector<MinMax> want(c.width);
    for (std::size_t i = c.first; i < std::min(n, c.first + c.count); ++i) {
      MinMax& column = want[(i - c.first) * c.width / c.count];
      column.Min = std::min(column.Min, x[i]);
      column.Max = std::max(column.Max, x[i]);
    }
    for (std::size_t k = 0; k < c.width; ++k) {
      ExpectSame(columns[k], want[k], c.first, c.count);
      if (c.count >= c.width && c.first + c.count <= n) {
        EXPECT_FALSE(columns[k].Empty()) << k;
      }
    }
  }
}

}  // namespace
