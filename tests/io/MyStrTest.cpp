#include "io/MyStr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Cells(const CellArray& cells, int count) {
  std::vector<std::string> out;
  for (int k = 0; k < count && k < kMaxCells; ++k) out.emplace_back(cells[k].View());
  return out;
}

struct SplitCase {
  const char* line;
  std::vector<std::string> cells;
};

TEST(SplitLine, FindsCellsAsTheFormatDefines) {
  const std::vector<SplitCase> cases = {
      {"1.5, 2.5", {"1.5", "2.5"}},
      {",,3", {"", "", "3"}},
      {"1,2,\n", {"1", "2"}},
      {" -1.25e-1 ,abc\n", {"-1.25e-1 ", "abc"}},
      {"\t a\tb ;c,\"q\"", {"a\tb ;c", "\"q\""}},
      {"x\n", {"x"}},
  };
  for (const SplitCase& c : cases) {
    CellArray cells;
    const int count = SplitLine(c.line, cells);
    EXPECT_EQ(Cells(cells, count), c.cells) << c.line;
  }
}

TEST(SplitLine, EmptyAndBlankLinesHaveNoCells) {
  CellArray cells;
  EXPECT_EQ(SplitLine("", cells), 0);
  EXPECT_EQ(SplitLine("\n", cells), 0);
  EXPECT_EQ(SplitLine("   \t\n", cells), 0);
}

TEST(SplitLine, LeavesPositionsBeyondTheCountAsTheyWere) {
  CellArray cells;
  ASSERT_EQ(SplitLine("a,b,c", cells), 3);
  ASSERT_EQ(SplitLine("x", cells), 1);
  EXPECT_EQ(Cells(cells, 3), (std::vector<std::string>{"x", "b", "c"}));
}

TEST(SplitLine, CountsCellsPastTheEighthWithoutKeepingThem) {
  CellArray cells;
  ASSERT_EQ(SplitLine("1,2,3,4,5,6,7,8,9,10", cells), 10);
  EXPECT_EQ(cells[7].View(), "8");
}

TEST(SplitLine, NulEndsTheText) {
  CellArray cells;
  const std::string line("1,2\0,3", 6);
  EXPECT_EQ(SplitLine(line, cells), 2);
  EXPECT_EQ(cells[1].View(), "2");
}

TEST(SplitLine, CutsOverlongCells) {
  CellArray cells;
  const std::string line = std::string(5000, '7') + ",1";
  ASSERT_EQ(SplitLine(line, cells), 2);
  EXPECT_EQ(cells[0].View(), std::string(kMaxCellLength, '7'));
  EXPECT_EQ(cells[1].View(), "1");
}

TEST(SplitNameLine, KeepsBlanksAndEmptyCells) {
  const std::vector<SplitCase> cases = {
      {"A,B,,C", {"A", "B", "", "C"}},
      {"\n", {""}},
      {" P1 , P2 \n", {" P1 ", " P2 "}},
      {"A,\n", {"A", ""}},
  };
  for (const SplitCase& c : cases) {
    CellArray cells;
    const int count = SplitNameLine(c.line, cells);
    EXPECT_EQ(Cells(cells, count), c.cells) << c.line;
  }
  CellArray cells;
  EXPECT_EQ(SplitNameLine("", cells), 0);
  EXPECT_EQ(SplitNameLine("a,b,c,d,e,f,g,h,i,j", cells), 10);
  EXPECT_EQ(cells[7].View(), "h");
}

}  // namespace
