// batch and merge on generated record trees whose decays we chose: the results
// hold the known f and h, a broken record gets its error row, a second run and
// a second merge change nothing, and a run killed in the middle is completed
// by the next without a duplicate.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <map>
#include <set>
#include <thread>

#include "io/BatchRows.h"
#include "tests/support/CliRun.h"
#include "tests/support/RecordTree.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<BatchRow> Rows(const std::string& path) {
  std::vector<BatchRow> rows;
  std::string error;
  EXPECT_TRUE(ReadBatchFile(path, rows, error)) << error;
  return rows;
}

// (sha256 or file, channel, start, settings) of every row, counted.
std::map<std::string, int> Keys(const std::vector<BatchRow>& rows) {
  std::map<std::string, int> keys;
  for (const BatchRow& row : rows) ++keys[BatchResumeKey(row) + "|" + Cell(row, BatchColumn::Start)];
  return keys;
}

int SqliteCount(const std::string& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  int count = -1;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      count = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(handle);
  return count;
}

TEST(CliBatch, FindsTheKnownDecaysAndGivesABrokenRecordItsErrorRow) {
  TempDir dir;
  const std::vector<std::string> paths = WriteRecordTree(dir.File("records"), {.Records = 6});
  dir.Write("records/day-01/broken.csv", "P1\nnot a rate\n");
  dir.Write("records/day-01/notes.txt.bak", "not a record: its extension is no reader's\n");
  const std::string out = dir.File("records/results.csv");  // inside the folder: never a record itself

  const CliRunResult run = RunCliCaptured({"batch", dir.File("records"), "--out", out, "--jobs", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = TempDir::Read(out);
  EXPECT_EQ(text.rfind(BatchHeaderLine(), 0), 0u);
  EXPECT_EQ(text.find('\r'), std::string::npos) << "LF line ends";

  const std::vector<BatchRow> rows = Rows(out);
  int evaluated = 0, broken = 0;
  for (const BatchRow& row : rows) {
    const std::string& file = Cell(row, BatchColumn::File);
    EXPECT_EQ(file.find("notes"), std::string::npos);
    EXPECT_EQ(file.find("results.csv"), std::string::npos);
    EXPECT_EQ(Cell(row, BatchColumn::Settings).size(), 12u);
    if (file.find("broken.csv") != std::string::npos) {
      ++broken;
      EXPECT_TRUE(Cell(row, BatchColumn::Channel).empty());
      EXPECT_FALSE(Cell(row, BatchColumn::Error).empty());
      EXPECT_EQ(Cell(row, BatchColumn::Sha256).size(), 64u) << "a readable file has its hash";
      continue;
    }
    if (Cell(row, BatchColumn::Start).empty()) continue;  // a channel without decays
    // Which record and channel: the decays we put there.
    const int k = static_cast<int>(std::find(paths.begin(), paths.end(), file) - paths.begin());
    ASSERT_LT(k, static_cast<int>(paths.size())) << file;
    const int channel = std::stoi(Cell(row, BatchColumn::Channel)) - 1;
    const std::vector<SyntheticDecay> decays = TreeDecays(k, channel, RecordTreeShape{}.Samples);
    ASSERT_FALSE(decays.empty()) << file << " channel " << channel + 1;
    const double f = std::stod(Cell(row, BatchColumn::F));
    const double h = std::stod(Cell(row, BatchColumn::H));
    EXPECT_NEAR(f, decays[0].F, 0.003 * decays[0].F) << file;
    EXPECT_NEAR(h, decays[0].H, 0.1 * decays[0].H) << file;
    EXPECT_EQ(Cell(row, BatchColumn::Accepted), "1");
    EXPECT_LE(std::stod(Cell(row, BatchColumn::FLow)), f);
    EXPECT_GE(std::stod(Cell(row, BatchColumn::FHigh)), f);
    EXPECT_EQ(Cell(row, BatchColumn::Time).size(), 19u) << "YYYY-MM-DD HH:MM:SS";
    ++evaluated;
  }
  EXPECT_EQ(broken, 1);
  int expected = 0;
  for (int k = 0; k < 6; ++k) {
    for (int c = 0; c < 1 + k % 2; ++c) expected += static_cast<int>(TreeDecays(k, c, RecordTreeShape{}.Samples).size());
  }
  EXPECT_EQ(evaluated, expected);

  // Run again, and with one channel only: nothing changes.
  const CliRunResult again = RunCliCaptured({"batch", dir.File("records"), "--out", out});
  ASSERT_EQ(again.status, 0) << again.err;
  const CliRunResult one = RunCliCaptured({"batch", paths[1], "--out", out, "--channel", "2"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(TempDir::Read(out), text);

  // Another band is another setting: the same records again, beside the first.
  const CliRunResult banded = RunCliCaptured({"batch", paths[1], "--out", out, "--bandpass", "3", "0.5"});
  ASSERT_EQ(banded.status, 0) << banded.err;
  const std::vector<BatchRow> after = Rows(out);
  EXPECT_GT(after.size(), rows.size());
  for (const auto& [key, count] : Keys(after)) EXPECT_EQ(count, 1) << key;
}

TEST(CliBatch, RefusesAResultsFileOfAnotherShapeAndBadOptions) {
  TempDir dir;
  const std::vector<std::string> paths = WriteRecordTree(dir.File("records"), {.Records = 1});
  const std::string foreign = dir.Write("other.csv", "a,b,c\n1,2,3\n");
  const CliRunResult refused = RunCliCaptured({"batch", paths[0], "--out", foreign});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(TempDir::Read(foreign), "a,b,c\n1,2,3\n");

  struct Case {
    std::vector<std::string> args;
  };
  for (const Case& c : std::vector<Case>{{{"batch", paths[0]}},
                                         {{"batch", "--out", dir.File("r.csv")}},
                                         {{"batch", paths[0], "--out", dir.File("r.csv"), "--jobs", "0"}},
                                         {{"batch", paths[0], "--out", dir.File("r.csv"), "--channel", "0"}},
                                         {{"merge", dir.File("r.csv")}}}) {
    EXPECT_EQ(RunCliCaptured(c.args).status, 2) << c.args.size();
  }
}

// Neither the batch's results file nor the database is written through a link
// in its place: somebody's (empty) file, which either would take, stays empty.
TEST(CliBatch, ALinkInPlaceOfTheResultsOrTheDatabaseIsRefused) {
  TempDir dir;
  const std::vector<std::string> paths = WriteRecordTree(dir.File("records"), {.Records = 1});
  const std::string victim = dir.Write("victim.txt", "");
  const std::string out = dir.File("results.csv");
  ASSERT_EQ(::symlink(victim.c_str(), out.c_str()), 0);
  const CliRunResult batch = RunCliCaptured({"batch", paths[0], "--out", out});
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("シンボリックリンク"), std::string::npos) << batch.err;
  EXPECT_EQ(TempDir::Read(victim), "");

  const std::string real = dir.File("real.csv");
  ASSERT_EQ(RunCliCaptured({"batch", paths[0], "--out", real}).status, 0);
  const std::string db = dir.File("store.sqlite");
  ASSERT_EQ(::symlink(victim.c_str(), db.c_str()), 0);
  const CliRunResult merge = RunCliCaptured({"merge", real, "--db", db});
  EXPECT_EQ(merge.status, 1);
  EXPECT_NE(merge.err.find("シンボリックリンク"), std::string::npos) << merge.err;
  EXPECT_EQ(TempDir::Read(victim), "");
}

// A folder of several formats: each file is read by its extension and takes
// the read options that apply to it (--rate for the text file; the standard
// CSV file keeps its own).
TEST(CliBatch, ReadOptionsGoToTheFilesWhoseReaderTakesThem) {
  TempDir dir;
  const std::vector<std::string> csv = WriteRecordTree(dir.File("records"), {.Records = 1});
  std::string text;
  for (int i = 0; i < 6000; ++i) {
    const double t = (i - 2000) / 100.0;
    const double x = i < 2000 ? 0.01 * std::sin(i * 12.9898)
                              : 30.0 * std::exp(-0.02 * 2 * M_PI * 3.7 * t) * std::cos(2 * M_PI * 3.7 * t + 0.7);
    text += std::to_string(x) + "\n";
  }
  dir.Write("records/logger.txt", text);
  const std::string out = dir.File("results.csv");
  const CliRunResult run = RunCliCaptured({"batch", dir.File("records"), "--out", out, "--rate", "100"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::set<std::string> files;
  for (const BatchRow& row : Rows(out)) {
    files.insert(Cell(row, BatchColumn::File));
    if (Cell(row, BatchColumn::File).ends_with("logger.txt")) {
      EXPECT_NEAR(std::stod(Cell(row, BatchColumn::F)), 3.7, 0.01);
    }
  }
  EXPECT_EQ(files.size(), 1u + csv.size());
}

// A channel the record lacks is that channel's error row: the record's other
// channels are still done by a later run.
TEST(CliBatch, AMissingChannelLeavesTheOthersToDo) {
  TempDir dir;
  const std::vector<std::string> paths = WriteRecordTree(dir.File("records"), {.Records = 3});  // record 0: one channel
  const std::string out = dir.File("results.csv");
  ASSERT_EQ(RunCliCaptured({"batch", paths[0], "--out", out, "--channel", "2"}).status, 0);
  std::vector<BatchRow> rows = Rows(out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Cell(rows[0], BatchColumn::Channel), "2");
  EXPECT_FALSE(Cell(rows[0], BatchColumn::Error).empty());
  ASSERT_EQ(RunCliCaptured({"batch", paths[0], "--out", out}).status, 0);
  rows = Rows(out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Cell(rows[1], BatchColumn::Channel), "1");
  EXPECT_TRUE(Cell(rows[1], BatchColumn::Error).empty());
}

// A run killed with SIGKILL part-way, and a torn last row, are completed by
// the next run: every key once, the same keys as a run that was never
// interrupted.
TEST(CliBatch, ARunKilledPartWayIsCompletedWithoutDuplicates) {
  TempDir dir;
  WriteRecordTree(dir.File("records"), {.Records = 48, .Samples = 6000});
  const std::string clean = dir.File("clean.csv");
  ASSERT_EQ(RunCliCaptured({"batch", dir.File("records"), "--out", clean}).status, 0);
  const std::map<std::string, int> complete = Keys(Rows(clean));

  const std::string out = dir.File("killed.csv");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::vector<std::string> args = {OSCALYX_CLI_PATH, "batch", dir.File("records"), "--out", out, "--jobs", "1"};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::freopen("/dev/null", "w", stderr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  // Killed once a few records are in.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = TempDir::Read(out);
    if (std::count(text.begin(), text.end(), '\n') >= 6) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::vector<BatchRow> part = Rows(out);
  ASSERT_LT(Keys(part).size(), complete.size()) << "the run was killed before it finished";

  // A torn row, as a write cut short would leave it.
  {
    std::ofstream torn(out, std::ios::app | std::ios::binary);
    torn << "records/day-09/hour-00.csv,00ff";
  }
  const CliRunResult resumed = RunCliCaptured({"batch", dir.File("records"), "--out", out});
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  const std::string text = TempDir::Read(out);
  EXPECT_EQ(text.find("00ff"), std::string::npos) << "the torn row is cut off";
  const std::map<std::string, int> keys = Keys(Rows(out));
  for (const auto& [key, count] : keys) EXPECT_EQ(count, 1) << key;
  EXPECT_EQ(keys.size(), complete.size());
  for (const auto& [key, count] : complete) EXPECT_EQ(keys.count(key), 1u) << key;
}

TEST(CliMerge, MergingTwiceAddsNothingAndTheViewsSumUp) {
  TempDir dir;
  WriteRecordTree(dir.File("records"), {.Records = 6});
  dir.Write("records/day-01/broken.dbl", "no SPC-51 header");
  const std::string out = dir.File("results.csv");
  ASSERT_EQ(RunCliCaptured({"batch", dir.File("records"), "--out", out}).status, 0);
  const std::vector<BatchRow> rows = Rows(out);
  int accepted = 0;
  for (const BatchRow& row : rows) accepted += Cell(row, BatchColumn::Accepted) == "1" ? 1 : 0;
  const std::string db = dir.File("store.sqlite");

  const CliRunResult first = RunCliCaptured({"merge", out, "--db", db});
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string added = std::to_string(rows.size()) + " 行を追加";
  EXPECT_NE(first.out.find(added), std::string::npos) << first.out;
  const CliRunResult second = RunCliCaptured({"merge", out, out, "--db", db});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find(" 0 行を追加"), std::string::npos) << second.out;
  EXPECT_EQ(SqliteCount(db, "SELECT COUNT(*) FROM evaluations"), static_cast<int>(rows.size()));
  EXPECT_EQ(SqliteCount(db, "SELECT COUNT(*) FROM accepted"), accepted);
  EXPECT_EQ(SqliteCount(db, "SELECT SUM(n) FROM accepted_per_channel"), accepted);
  EXPECT_EQ(SqliteCount(db, "SELECT COUNT(*) FROM evaluations WHERE error LIKE '%SPC-51%'"), 1);
  EXPECT_EQ(SqliteCount(db, "SELECT COUNT(*) FROM evaluations WHERE typeof(f) NOT IN ('real', 'null')"), 0);

  // A file that is not a results file is refused and adds nothing.
  const std::string other = dir.Write("other.csv", "x,y\n1,2\n");
  EXPECT_EQ(RunCliCaptured({"merge", other, "--db", db}).status, 1);
  EXPECT_EQ(SqliteCount(db, "SELECT COUNT(*) FROM evaluations"), static_cast<int>(rows.size()));
}

}  // namespace
