#include "io/ThreadTeam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

TEST(ThreadTeamTest, EveryIndexRunsOnceWhateverTheThreads) {
  for (const unsigned threads : {1u, 2u, 7u}) {
    std::vector<std::atomic<int>> runs(1000);
    ForEachIndex(1000, threads, [&](std::int64_t i) { ++runs[static_cast<std::size_t>(i)]; });
    for (const auto& count : runs) ASSERT_EQ(count.load(), 1) << threads << " threads";
  }
  int none = 0;
  ForEachIndex(0, 4, [&](std::int64_t) { ++none; });
  EXPECT_EQ(none, 0);
}

TEST(ThreadTeamTest, AnExceptionOnAnyThreadReachesTheCallerAndStopsTheRest) {
  std::atomic<int> started{0};
  EXPECT_THROW(ForEachIndex(100000, 3,
                            [&](std::int64_t i) {
                              ++started;
                              if (i == 10) throw std::runtime_error("index 10");
                            }),
               std::runtime_error);
  EXPECT_LT(started.load(), 100000);
}

}  // namespace
