// Appends to the shared CSV logs in hostile places: a link or a pipe in the
// file's place, a last line without its end, a lock held for a moment at
// load, a file deleted or replaced under the window, several files of which
// one fails. Only the path itself is ever written, and a failure leaves every
// file as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "io/AppendTransaction.h"
#include "io/FileHandle.h"
#include "io/LockedFile.h"
#include "io/ResultsFile.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kHeader[] = "head\r\n";

// Whatever sits in the results file's place that is not a plain file of its
// own: the window and the command line refuse it with its cause and leave
// what it names alone.
TEST(AppendSafety, OnlyAPlainFileAtThePathItselfIsWritten) {
  TempDir dir;
  const std::string victim = dir.Write("victim.txt", "somebody's data\n");
  const std::string linked = dir.File("linked.csv");
  fs::create_symlink(victim, linked);
  const std::string pipe = dir.File("pipe.csv");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string hard = dir.File("hard.csv");
  fs::create_hard_link(victim, hard);
  fs::create_directory(dir.File("folder.csv"));
  struct Case {
    std::string path;
    std::string cause;
  };
  const Case cases[] = {
      {linked, "シンボリックリンクです（リンクを通しては書き込みません）"},
      {pipe, kNotRegularFileText},
      {hard, kHardLinkText},
      {dir.File("folder.csv"), "同じ名前のフォルダがあります"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const AppendResult appended = AppendLocked(c.path, kHeader, {"r1\r\n"}, 50ms);
    EXPECT_EQ(appended.status, AppendResult::Status::CannotOpen);
    EXPECT_EQ(appended.cause, c.cause);
    ResultsFile window;
    EXPECT_EQ(window.Create(c.path, kHeader, 50ms), ResultsFile::CreateStatus::Failed);
    EXPECT_EQ(window.errorText(), c.cause);
    EXPECT_FALSE(window.IsOpen());
  }
  EXPECT_EQ(TempDir::Read(victim), "somebody's data\n");
  EXPECT_TRUE(fs::is_symlink(linked));
  EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST(AppendSafety, ARowNeverJoinsALastLineWithoutItsEnd) {
  TempDir dir;
  struct Case {
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"head\r\nr1", "head\r\nr1\r\nr2\r\n"},
      {"head\r\nr1\r", "head\r\nr1\r\nr2\r\n"},
      {"head\r\nr1\n", "head\r\nr1\nr2\r\n"},
      {"", "head\r\nr2\r\n"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Write("log.csv", c.before);
    ASSERT_TRUE(AppendLocked(path, kHeader, {"r2\r\n"}).ok());
    EXPECT_EQ(TempDir::Read(path), c.after) << c.before;
  }
  // The window's own file too: a program that ignores the lock left half a line.
  const std::string path = dir.File("results.csv");
  ResultsFile window;
  ASSERT_EQ(window.Create(path, kHeader), ResultsFile::CreateStatus::Created);
  FileHandle other(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  ASSERT_EQ(::write(other.get(), "half", 4), 4);
  ASSERT_TRUE(window.Append("r1\r\n"));
  EXPECT_EQ(TempDir::Read(path), "head\r\nhalf\r\nr1\r\n");
}

// A command line appending holds the lock for a moment while a load starts:
// the load waits for it, as every append does, instead of giving up the file
// for the whole record.
TEST(AppendSafety, CreateWaitsForALockHeldForAMoment) {
  TempDir dir;
  const std::string path = dir.Write("results.csv", "earlier\r\n");
  FileHandle holder(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
  std::thread release([&] {
    std::this_thread::sleep_for(200ms);
    holder.Close();
  });
  ResultsFile window;
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(window.Create(path, kHeader), ResultsFile::CreateStatus::Created) << window.errorText();
  release.join();
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 150ms);
  EXPECT_EQ(TempDir::Read(path), kHeader);

  // Held past the wait: Locked, with the cause, and the file left alone.
  ResultsFile second;
  EXPECT_EQ(second.Create(path, kHeader, 100ms), ResultsFile::CreateStatus::Locked);
  EXPECT_EQ(second.errorText(), kFileBusyText);
}

TEST(AppendSafety, AFileDeletedUnderTheWindowIsMadeAgainWholeAndAReplacedOneIsLeftAlone) {
  TempDir dir;
  const std::string path = dir.File("results.csv");
  ResultsFile window;
  ASSERT_EQ(window.Create(path, kHeader), ResultsFile::CreateStatus::Created);
  ASSERT_TRUE(window.Append("r1\r\n"));
  fs::remove(path);
  ASSERT_TRUE(window.Append("r2\r\n"));
  EXPECT_EQ(window.LastAppend(), ResultsFile::AppendStatus::Recreated);
  EXPECT_EQ(TempDir::Read(path), "head\r\nr1\r\nr2\r\n");
  ASSERT_TRUE(window.Append("r3\r\n"));
  EXPECT_EQ(window.LastAppend(), ResultsFile::AppendStatus::Appended);
  EXPECT_EQ(TempDir::Read(path), "head\r\nr1\r\nr2\r\nr3\r\n");

  // Renamed away and another file put in its place: that one is not ours.
  fs::rename(path, dir.File("moved.csv"));
  dir.Write("results.csv", "another file\n");
  EXPECT_FALSE(window.Append("r4\r\n"));
  EXPECT_EQ(window.LastAppend(), ResultsFile::AppendStatus::Replaced);
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(TempDir::Read(path), "another file\n");
  EXPECT_EQ(TempDir::Read(dir.File("moved.csv")), "head\r\nr1\r\nr2\r\nr3\r\n");
}

// Two files appended as one: when the second cannot be locked, cannot be
// written, or is the first under another name, the first is left exactly as
// it was (a file the step created is removed again).
TEST(AppendSafety, SeveralFilesGetTheirRowsAllOrNone) {
  TempDir dir;
  const std::string kept = dir.Write("kept.csv", "head\r\nold\r\n");
  const std::string fresh = dir.File("fresh.csv");
  const std::string busy = dir.Write("busy.csv", "");
  FileHandle holder(::open(busy.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
  const std::string alias = dir.File("alias.csv");
  fs::create_symlink(kept, alias);

  struct Case {
    std::string first;
    std::string second;
    AppendResult::Status status;
  };
  const Case cases[] = {
      {kept, busy, AppendResult::Status::Busy},
      {fresh, busy, AppendResult::Status::Busy},
      {kept, alias, AppendResult::Status::CannotOpen},
      {kept, kept, AppendResult::Status::CannotOpen},  // the same file as results and log
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first + " then " + c.second);
    AppendTransaction transaction;
    const AppendResult begun = transaction.Begin({{c.first, kHeader, "結果ファイル"}, {c.second, kHeader, "評価記録"}}, 50ms);
    EXPECT_EQ(begun.status, c.status);
    EXPECT_EQ(begun.what, "評価記録");
    EXPECT_EQ(TempDir::Read(kept), "head\r\nold\r\n");
    EXPECT_FALSE(fs::exists(fresh));
  }

  // The second file is full: what went into the first is taken back.
  const std::string second = dir.Write("second.csv", "head\r\n");
  {
    FileSizeLimit limit(20);
    AppendTransaction transaction;
    ASSERT_TRUE(transaction.Begin({{kept, kHeader, {}}, {second, kHeader, {}}}).ok());
    ASSERT_TRUE(transaction.Append(0, "a\r\n").ok());
    const AppendResult full = transaction.Append(1, "a row longer than the limit\r\n");
    EXPECT_EQ(full.status, AppendResult::Status::CannotWrite);
    EXPECT_EQ(full.path, second);
  }
  EXPECT_EQ(TempDir::Read(kept), "head\r\nold\r\n");
  EXPECT_EQ(TempDir::Read(second), "head\r\n");

  AppendTransaction both;
  ASSERT_TRUE(both.Begin({{kept, kHeader, {}}, {fresh, kHeader, {}}}).ok());
  ASSERT_TRUE(both.Append(0, "r\r\n").ok());
  ASSERT_TRUE(both.Append(1, "s\r\n").ok());
  ASSERT_TRUE(both.Commit().ok());
  EXPECT_EQ(TempDir::Read(kept), "head\r\nold\r\nr\r\n");
  EXPECT_EQ(TempDir::Read(fresh), "head\r\ns\r\n");
}

}  // namespace
