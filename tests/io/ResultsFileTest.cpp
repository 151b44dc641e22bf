#include "io/ResultsFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <filesystem>
#include <thread>

#include "analysis/ResultRows.h"
#include "io/FileHandle.h"
#include "tests/support/FitResults.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace {

TEST(ResultsFile, HeaderIsShiftJisWithCrLf) {
  const std::string header = ResultsHeaderLine();
  EXPECT_EQ(header, "filename,channel,comment,A,\x83\xD6n,f,T,h,\x83\xB3,Ratio\r\n");
}

TEST(ResultsFile, RowFollowsTheFixedFormat) {
  EXPECT_EQ(FormatResultRow("sample0.csv", 1, "P1", ResultOf(1.25f, 12.566f, 0.02f, -0.5f, 0.95f)),
            "sample0.csv,1ch,P1,1.250,12.566,2.000,0.500,0.0200,-0.500,0.950\r\n");
  // Names are copied byte for byte, commas and Shift-JIS included.
  EXPECT_EQ(FormatResultRow("a,b.csv", 8, "\x91\xAA\x93\x5F", ResultOf(3.0f, 6.2831855f, 0.0301f, 0.7f, 0.9f)),
            "a,b.csv,8ch,\x91\xAA\x93\x5F,3.000,6.283,1.000,1.000,0.0301,0.700,0.900\r\n");
}

TEST(ResultsFile, FileNamesGoToShiftJisAndChannelNamesStayAsTheyAre) {
  // The file name comes from the file system in UTF-8: 測定 is 0x91 0xAA
  // 0x92 0xE8 in code page 932. A channel name is the record's own bytes.
  EXPECT_EQ(FormatResultsFileRow("測定.csv", 2, "\x91\xAA\x93\x5F", ResultOf(1.25f, 12.566f, 0.02f, -0.5f, 0.95f)),
            "\x91\xAA\x92\xE8.csv,2ch,\x91\xAA\x93\x5F,1.250,12.566,2.000,0.500,0.0200,-0.500,0.950\r\n");
  // Shift-JIS "ﾂｰ" (0xC2 0xB0) is also the UTF-8 of "°", and stays ﾂｰ; a
  // name with a character code page 932 lacks stays too.
  EXPECT_EQ(FormatResultsFileRow("a.csv", 1, "\xC2\xB0", ResultOf(1.0f, 6.2831855f, 0.03f, 0.7f, 0.5f)),
            "a.csv,1ch,\xC2\xB0,1.000,6.283,1.000,1.000,0.0300,0.700,0.500\r\n");
  EXPECT_EQ(FormatResultsFileRow("€.csv", 1, "測点", ResultOf(1.0f, 6.2831855f, 0.03f, 0.7f, 0.5f)),
            "€.csv,1ch,測点,1.000,6.283,1.000,1.000,0.0300,0.700,0.500\r\n");
}

TEST(ResultsFile, EveryRowIsOnDiskOnceWrittenAndCreateStartsAfresh) {
  TempDir dir;
  const std::string path = ResultsFilePath(dir.path());
  EXPECT_EQ(path, dir.path() + "/減衰特性.csv");
  ResultsFile file;
  ASSERT_EQ(file.Create(path, ResultsHeaderLine()), ResultsFile::CreateStatus::Created);
  const std::string row = FormatResultRow("s.csv", 1, "P1", ResultOf(1.0f, 12.0f, 0.03f, 0.1f, 0.99f));
  ASSERT_TRUE(file.Append(row));
  // Still open: the row must already be in the file.
  EXPECT_EQ(TempDir::Read(path), ResultsHeaderLine() + row);

  ASSERT_EQ(file.Create(path, ResultsHeaderLine()), ResultsFile::CreateStatus::Created);
  EXPECT_EQ(TempDir::Read(path), ResultsHeaderLine());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Append(row));
}

TEST(ResultsFile, FilesThatCannotBeMadeAreReportedWithTheirCause) {
  TempDir dir;
  ResultsFile file;
  EXPECT_EQ(file.Create(ResultsFilePath(dir.File("missing-folder")), ResultsHeaderLine()), ResultsFile::CreateStatus::Failed);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.errorText(), "ファイルまたはフォルダが見つかりません");

  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_EQ(file.Create(dir.File("folder"), ResultsHeaderLine()), ResultsFile::CreateStatus::Failed);
  EXPECT_EQ(file.errorText(), "同じ名前のフォルダがあります");

  const AppendResult appended = AppendLocked(dir.File("missing-folder/log.csv"), "h\r\n", {"r\r\n"});
  EXPECT_EQ(appended.status, AppendResult::Status::CannotOpen);
  EXPECT_EQ(appended.cause, "ファイルまたはフォルダが見つかりません");
}

TEST(ResultsFile, AnEmptyFileGetsItsHeaderFirst) {
  TempDir dir;
  const std::string path = dir.Write("log.csv", "");  // touched, or left empty by a failed write
  ASSERT_TRUE(AppendLocked(path, "head\r\n", {"r1\r\n", "r2\r\n"}).ok());
  ASSERT_TRUE(AppendLocked(path, "head\r\n", {"r3\r\n"}).ok());
  EXPECT_EQ(TempDir::Read(path), "head\r\nr1\r\nr2\r\nr3\r\n");
  const std::string fresh = dir.File("new.csv");
  ASSERT_TRUE(AppendLocked(fresh, "head\r\n", {"r1\r\n"}).ok());
  EXPECT_EQ(TempDir::Read(fresh), "head\r\nr1\r\n");
}

// Another writer has just created the file and holds its lock, its header not
// yet written: the append waits and then finds the header there, rather than
// deciding on one before it holds the lock.
TEST(ResultsFile, TheHeaderIsDecidedUnderTheLock) {
  TempDir dir;
  const std::string path = dir.File("log.csv");
  FileHandle other(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600));
  ASSERT_EQ(::flock(other.get(), LOCK_EX), 0);
  AppendResult appended;
  std::thread waiting([&] { appended = AppendLocked(path, "head\r\n", {"ours\r\n"}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::string theirs = "head\r\ntheirs\r\n";
  ASSERT_EQ(::write(other.get(), theirs.data(), theirs.size()), static_cast<ssize_t>(theirs.size()));
  other.Close();
  waiting.join();
  EXPECT_TRUE(appended.ok());
  EXPECT_EQ(TempDir::Read(path), "head\r\ntheirs\r\nours\r\n");
}

TEST(ResultsFile, AFailedWriteLeavesNoEmptyFileAndNoPartialRow) {
  TempDir dir;
  const std::string fresh = dir.File("fresh.csv");
  const std::string kept = dir.Write("kept.csv", "head\r\nr1\r\n");
  const std::string window = ResultsFilePath(dir.path());
  ResultsFile file;
  {
    FileSizeLimit limit(20);
    const AppendResult created = AppendLocked(fresh, ResultsHeaderLine(), {"r1\r\n"});
    EXPECT_EQ(created.status, AppendResult::Status::CannotWrite);
    EXPECT_EQ(created.cause, "ファイルが大きすぎます");
    EXPECT_FALSE(std::filesystem::exists(fresh));

    EXPECT_FALSE(AppendLocked(kept, "head\r\n", {"a row longer than the limit\r\n"}).ok());
    EXPECT_EQ(file.Create(window, ResultsHeaderLine()), ResultsFile::CreateStatus::Failed);
    EXPECT_EQ(file.errorText(), "ファイルが大きすぎます");
  }
  EXPECT_EQ(TempDir::Read(kept), "head\r\nr1\r\n");
  EXPECT_FALSE(std::filesystem::exists(window));

  ASSERT_EQ(file.Create(window, ResultsHeaderLine()), ResultsFile::CreateStatus::Created);
  const std::string row = FormatResultRow("s.csv", 1, "P1", ResultOf(1.0f, 12.0f, 0.03f, 0.1f, 0.99f));
  {
    FileSizeLimit limit(ResultsHeaderLine().size() + row.size() / 2);
    EXPECT_FALSE(file.Append(row));
  }
  EXPECT_EQ(TempDir::Read(window), ResultsHeaderLine());
}

TEST(ResultsFile, ALockHeldElsewhereLeavesTheFileUntouched) {
  TempDir dir;
  const std::string path = dir.Write("busy.csv", "other program's rows\r\n");
  // Another open file description: flock locks are held per description.
  FileHandle holder(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);

  ResultsFile file;
  EXPECT_EQ(file.Create(path, ResultsHeaderLine()), ResultsFile::CreateStatus::Locked);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.errorText(), kFileBusyText);
  const AppendResult appended = AppendLocked(path, "head\r\n", {"r\r\n"}, std::chrono::milliseconds(50));
  EXPECT_EQ(appended.status, AppendResult::Status::Busy);
  EXPECT_EQ(appended.cause, kFileBusyText);
  EXPECT_EQ(TempDir::Read(path), "other program's rows\r\n");

  // Released, the file is ours; while we hold it, nobody else gets it.
  holder.Close();
  ASSERT_EQ(file.Create(path, ResultsHeaderLine()), ResultsFile::CreateStatus::Created);
  ASSERT_EQ(file.Create(path, ResultsHeaderLine()), ResultsFile::CreateStatus::Created);
  FileHandle other(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_NE(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(TempDir::Read(path), ResultsHeaderLine());
}

}  // namespace
