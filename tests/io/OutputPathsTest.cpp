// Files the program replaces (converted records, signatures, pictures) in
// hostile places: a link to a device or to someone's file, a named pipe
// nobody reads, a folder, a folder seeded with the temporary names, a
// read-only file. The target path itself decides; nothing is written through
// a link, nothing hangs, and the bytes reach the disk before the rename.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "io/ReplacingFile.h"
#include "io/WriteCsv.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

WaveData SmallRecord() {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 3;
  record.Rate = 100;
  CopyToSlot("P1", record.Names[0]);
  CopyToSlot("gal", record.Units[0]);
  record.Samples[0] = {0.25f, -1.5f, 3.7f};
  return record;
}

const std::string kSmallCsv = "P1\r\n100,s\r\nMEMO1\r\ngal\r\n0.250000\r\n-1.500000\r\n3.700000\r\n";

// Runs `work` in a child process and reports its exit status, or -1 when it
// did not end within `limit` (it is then killed): a write that hangs fails
// the test instead of stopping it.
int ExitWithin(std::chrono::seconds limit, const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(work());
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Nothing is written through a link in the target's place. A link to a file
// (or to nothing) is replaced by the new file, and the file it named stays as
// it was; a link to a device, a pipe or a folder is refused and left alone.
TEST(OutputPaths, ALinkIsReplacedOrRefusedNeverWrittenThrough) {
  TempDir dir;
  const std::string victim = dir.Write("victim.txt", "somebody's data");
  ::chmod(victim.c_str(), 0600);
  const std::string out = dir.File("out.csv");
  for (const std::string& target : {victim, dir.File("nothing.csv")}) {
    SCOPED_TRACE(target);
    fs::remove(out);
    fs::create_symlink(target, out);
    const WriteResult written = WriteCsv(out, SmallRecord());
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_FALSE(fs::is_symlink(out));
    EXPECT_EQ(TempDir::Read(out), kSmallCsv);
    // A new file's permissions, not those of the link's target.
    EXPECT_NE(fs::status(out).permissions() & fs::perms::others_read, fs::perms::none);
  }
  EXPECT_EQ(TempDir::Read(victim), "somebody's data");
  EXPECT_FALSE(fs::exists(dir.File("nothing.csv")));

  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& target : {std::string("/dev/null"), pipe, dir.path()}) {
    SCOPED_TRACE(target);
    fs::remove(out);
    fs::create_symlink(target, out);
    const WriteResult written = WriteCsv(out, SmallRecord());
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.message, "CSVファイル「" + out +
                                   "」を作成できません：通常のファイルでないものを指すシンボリックリンクです（リンクを"
                                   "通しては書き込みません）。");
    EXPECT_TRUE(fs::is_symlink(out));
  }
}

TEST(OutputPaths, ANamedPipeIsWrittenDirectlyAndOneWithoutReaderFailsAtOnce) {
  TempDir dir;
  const std::string pipe = dir.File("pipe.csv");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int status = ExitWithin(std::chrono::seconds(5), [&] {
    const WriteResult written = WriteCsv(pipe, SmallRecord());
    const bool expected =
        !written.ok && written.message == "CSVファイル「" + pipe + "」を作成できません：読み手のいない名前付きパイプです。";
    return expected ? 0 : 1;
  });
  EXPECT_EQ(status, 0) << "-1: the write waited for a reader";

  // With a reader the pipe gets the bytes, and stays a pipe.
  std::string received;
  std::thread reader([&] { received = TempDir::Read(pipe); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the reader opens first
  const WriteResult written = WriteCsv(pipe, SmallRecord());
  reader.join();
  EXPECT_TRUE(written.ok) << written.message;
  EXPECT_EQ(received, kSmallCsv);
  EXPECT_TRUE(fs::is_fifo(pipe));
}

// Taken temporary names are passed over: a folder seeded with names others
// could predict does not stop the write. A folder is refused by name.
TEST(OutputPaths, TakenTemporaryNamesAndFoldersInThePlace) {
  TempDir dir;
  for (int i = 0; i < 100; ++i) {
    dir.Write(".out.csv." + std::to_string(::getpid()) + "-" + std::to_string(i) + ".tmp", "");
  }
  const std::size_t seeded = static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
  const WriteResult written = WriteCsv(dir.File("out.csv"), SmallRecord());
  ASSERT_TRUE(written.ok) << written.message;
  EXPECT_EQ(TempDir::Read(dir.File("out.csv")), kSmallCsv);
  EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {})), seeded + 1);

  fs::create_directory(dir.File("folder.csv"));
  const WriteResult folder = WriteCsv(dir.File("folder.csv"), SmallRecord());
  EXPECT_FALSE(folder.ok);
  EXPECT_EQ(folder.message, "CSVファイル「" + dir.File("folder.csv") + "」を作成できません：同じ名前のフォルダがあります。");
  EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {})), seeded + 2);
}

TEST(OutputPaths, ReadOnlyIsTheFileItselfNotALinksTarget) {
  TempDir dir;
  const std::string locked = dir.Write("locked.csv", "keep");
  ::chmod(locked.c_str(), 0444);
  const std::string open = dir.Write("open.csv", "free");
  const std::string link = dir.File("link.csv");
  fs::create_symlink(locked, link);
  struct Case {
    std::string path;
    bool readOnly;
  };
  // Root may write anything; the permission bits still say read-only.
  const Case cases[] = {{locked, true}, {open, false}, {link, false}, {dir.File("missing.csv"), false},
                        {dir.path(), false}};
  for (const Case& c : cases) EXPECT_EQ(IsReadOnlyFile(c.path), c.readOnly) << c.path;
}

// The file's bytes are synced before the rename makes them the target, and
// the folder after it, so that a power loss leaves the old file or the new
// one. Seen in the system calls of a real write.
TEST(OutputPaths, BytesAreSyncedBeforeTheRenameAndTheFolderAfterIt) {
  if (std::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir dir;
  const std::string trace = dir.File("trace.txt");
  const std::string out = dir.File("out.csv");
  dir.Write("earlier.csv", "x");
  const pid_t child = ::fork();
  if (child == 0) {
    // Stopped until the tracer is attached, then writes once.
    ::raise(SIGSTOP);
    ::_exit(WriteCsv(out, SmallRecord()).ok ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, WUNTRACED);
  const std::string command = "strace -qq -e trace=fsync,fdatasync,rename,renameat,renameat2,openat -o '" + trace +
                              "' -p " + std::to_string(child) + " & sleep 1; kill -CONT " + std::to_string(child) +
                              "; wait";
  if (std::system(command.c_str()) != 0 || !fs::exists(trace)) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    GTEST_SKIP() << "strace cannot attach here";
  }
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string calls = TempDir::Read(trace);
  const std::size_t rename = calls.find("rename");
  ASSERT_NE(rename, std::string::npos) << calls;
  const std::size_t fileSync = calls.rfind("fsync(", rename);
  const std::size_t folderSync = calls.find("fsync(", rename);
  EXPECT_NE(fileSync, std::string::npos) << calls;
  ASSERT_NE(folderSync, std::string::npos) << calls;
  // The folder is opened as a folder between the rename and its sync.
  EXPECT_NE(calls.substr(rename, folderSync - rename).find("O_DIRECTORY"), std::string::npos) << calls;
}

}  // namespace
