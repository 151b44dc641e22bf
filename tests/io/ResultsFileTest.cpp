#include "io/ResultsFile.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

TEST(ResultsFile, HeaderIsShiftJisWithCrLf) {
  const std::string header = ResultsHeaderLine();
  EXPECT_EQ(header, "filename,channel,comment,A,\x83\xD6n,f,T,h,\x83\xB3,Ratio\r\n");
}

TEST(ResultsFile, RowFollowsTheFixedFormat) {
  EXPECT_EQ(FormatResultRow("sample0.csv", 1, "P1", 1.25f, 12.566f, 0.02f, -0.5f, 0.95f),
            "sample0.csv,1ch,P1,1.250,12.566,2.000,0.500,0.0200,-0.500,0.950\r\n");
  // Names are copied byte for byte, commas and Shift-JIS included.
  EXPECT_EQ(FormatResultRow("a,b.csv", 8, "\x91\xAA\x93\x5F", 3.0f, 6.2831855f, 0.0301f, 0.7f, 0.9f),
            "a,b.csv,8ch,\x91\xAA\x93\x5F,3.000,6.283,1.000,1.000,0.0301,0.700,0.900\r\n");
}

TEST(ResultsFile, EveryRowIsOnDiskOnceWrittenAndCreateStartsAfresh) {
  TempDir dir;
  const std::string path = ResultsFilePath(dir.path());
  EXPECT_EQ(path, dir.path() + "/減衰特性.csv");
  ResultsFile file;
  ASSERT_TRUE(file.Create(path));
  const std::string row = FormatResultRow("s.csv", 1, "P1", 1.0f, 12.0f, 0.03f, 0.1f, 0.99f);
  ASSERT_TRUE(file.Append(row));
  // Still open: the row must already be in the file.
  EXPECT_EQ(TempDir::Read(path), ResultsHeaderLine() + row);

  ASSERT_TRUE(file.Create(path));
  EXPECT_EQ(TempDir::Read(path), ResultsHeaderLine());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Append(row));
}

TEST(ResultsFile, FolderThatCannotHoldTheFileIsReported) {
  TempDir dir;
  ResultsFile file;
  EXPECT_FALSE(file.Create(ResultsFilePath(dir.File("missing-folder"))));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.errorText().empty());
}

}  // namespace
