// The session's results file and log when others interfere: links planted in
// their places, a lock held for a while at load, the file deleted or replaced
// between two evaluations. The user is told what happened, the evaluations
// go on, and no row of the record is lost where it can be kept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>

#include "analysis/ResultRows.h"
#include "io/FileHandle.h"
#include "io/WriteCsv.h"
#include "session/Session.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One channel at 100 /s: a decay of 3.7 Hz, damping 0.027, phase 0.7.
std::string DecayFile(const TempDir& dir) {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 2000;
  record.Rate = 100;
  CopyToSlot("P1", record.Names[0]);
  CopyToSlot("gal", record.Units[0]);
  const double wn = 2.0 * M_PI * 3.7;
  for (int i = 0; i < 2000; ++i) {
    const double t = i / 100.0;
    record.Samples[0].push_back(
        static_cast<float>(2.5 * std::exp(-0.027 * wn * t) * std::cos(wn * std::sqrt(1.0 - 0.027 * 0.027) * t + 0.7)));
  }
  const std::string path = dir.File("decay.csv");
  EXPECT_TRUE(WriteCsv(path, record).ok);
  return path;
}

class SessionFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    session.RecordIn(dir.path());
    session.SetResultsLockWait(100ms);
    path = DecayFile(dir);
  }
  LoadCommit Load() {
    LoadCommit commit;
    EXPECT_TRUE(session.Load({path, FileKind::Csv, std::nullopt}, nullptr, &commit).ok());
    return commit;
  }
  SessionEvaluation Evaluate(std::int64_t start) { return session.Evaluate(session.RequestAt(start, 3.6, 0.03)); }
  std::string Results() const { return TempDir::Read(session.ResultsPath()); }

  TempDir dir;
  Session session;
  std::string path;
};

TEST_F(SessionFiles, LinksInTheFilesPlacesAreRefusedAndWhatTheyNameIsLeftAlone) {
  const std::string victim = dir.Write("victim.txt", "somebody's data\n");
  fs::create_symlink(victim, session.ResultsPath());
  fs::create_symlink(victim, session.LogPath());
  const LoadCommit commit = Load();
  ASSERT_EQ(commit.Notices.size(), 1u);
  EXPECT_EQ(commit.Notices[0].Text, "結果ファイル「" + session.ResultsPath() +
                                        "」を作成できません（シンボリックリンクです（リンクを通しては書き込みません））。\n"
                                        "評価はできますが、結果はファイルに記録されません。");
  for (const std::int64_t start : {0, 100}) {
    const SessionEvaluation outcome = Evaluate(start);
    EXPECT_TRUE(outcome.Result.Accepted());
    // The log's refusal is said once.
    EXPECT_EQ(outcome.Notices.size(), start == 0 ? 1u : 0u);
  }
  EXPECT_EQ(TempDir::Read(victim), "somebody's data\n");
  EXPECT_TRUE(fs::is_symlink(session.ResultsPath()));
}

// Another program held the lock through the load's wait: the rows wait in
// the session, and the first evaluation after the lock is gone writes them
// all, in order, after the header.
TEST_F(SessionFiles, ALockHeldAtLoadIsTriedAgainAtEveryEvaluation) {
  dir.Write("減衰特性.csv", "another program's rows\r\n");
  FileHandle holder(::open(session.ResultsPath().c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
  const LoadCommit commit = Load();
  ASSERT_EQ(commit.Notices.size(), 1u);
  EXPECT_NE(commit.Notices[0].Text.find("別のプログラムがロックしています（0.1秒待っても解除されませんでした）"),
            std::string::npos)
      << commit.Notices[0].Text;
  const SessionEvaluation first = Evaluate(0);
  EXPECT_TRUE(first.Notices.empty());
  EXPECT_EQ(Results(), "another program's rows\r\n");

  holder.Close();
  const SessionEvaluation second = Evaluate(100);
  EXPECT_TRUE(second.Notices.empty());
  EXPECT_EQ(Results(), ResultsHeaderLine() + first.Result.ResultsRow + second.Result.ResultsRow);
  EXPECT_TRUE(session.ResultsFileOpen());
  const SessionEvaluation third = Evaluate(200);
  EXPECT_EQ(Results(), ResultsHeaderLine() + first.Result.ResultsRow + second.Result.ResultsRow +
                           third.Result.ResultsRow);
}

TEST_F(SessionFiles, ADeletedFileIsMadeAgainAndAReplacedOneIsLeftAlone) {
  Load();
  const SessionEvaluation first = Evaluate(0);
  fs::remove(session.ResultsPath());
  const SessionEvaluation second = Evaluate(100);
  ASSERT_EQ(second.Notices.size(), 1u);
  EXPECT_EQ(second.Notices[0].Level, Notice::Kind::Information);
  EXPECT_EQ(Results(), ResultsHeaderLine() + first.Result.ResultsRow + second.Result.ResultsRow);

  fs::remove(session.ResultsPath());
  dir.Write("減衰特性.csv", "a file of its own\r\n");
  const SessionEvaluation third = Evaluate(200);
  ASSERT_EQ(third.Notices.size(), 1u);
  EXPECT_EQ(third.Notices[0].Level, Notice::Kind::Warning);
  EXPECT_NE(third.Notices[0].Text.find("別のファイルに置き換えられました"), std::string::npos);
  EXPECT_EQ(Results(), "a file of its own\r\n");
  EXPECT_FALSE(session.ResultsFileOpen());
  EXPECT_TRUE(Evaluate(300).Notices.empty());  // said once: the file is closed
  // The next load takes the file again, afresh.
  Load();
  EXPECT_EQ(Results(), ResultsHeaderLine());
}

}  // namespace
