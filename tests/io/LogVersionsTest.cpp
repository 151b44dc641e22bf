#include "io/LogVersions.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

TEST(LogVersionsTest, AnOlderLogIsLeftAloneAndTheRowsGoToTheNextFreeFile) {
  TempDir dir;
  const std::string log = dir.File("評価記録.csv");
  const std::string header = "a,b,c\r\n";
  EXPECT_EQ(CurrentLogPath(log, header), log);  // missing
  dir.Write("評価記録.csv", "");
  EXPECT_EQ(CurrentLogPath(log, header), log);  // empty
  dir.Write("評価記録.csv", header + "1,2,3\r\n");
  EXPECT_EQ(CurrentLogPath(log, header), log);  // current

  dir.Write("評価記録.csv", "a,b\r\n1,2\r\n");  // the version before
  EXPECT_EQ(CurrentLogPath(log, header), dir.File("評価記録_2.csv"));
  dir.Write("評価記録_2.csv", "x\r\n");  // another shape again
  dir.Write("評価記録_3.csv", header);
  EXPECT_EQ(CurrentLogPath(log, header), dir.File("評価記録_3.csv"));
  EXPECT_EQ(CurrentLogPath(dir.File("log"), header), dir.File("log"));
  dir.Write("log", "old\r\n");
  EXPECT_EQ(CurrentLogPath(dir.File("log"), header), dir.File("log_2"));
}

}  // namespace
