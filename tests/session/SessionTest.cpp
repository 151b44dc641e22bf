// The session without a window: what a load, a re-filter and an evaluation
// leave in the record, the results file, the log and the store.
#include "session/Session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/ResultRows.h"
#include "io/Sha256.h"
#include "io/ShiftJisText.h"
#include "io/WriteCsv.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kRate = 100.0;
constexpr double kF = 3.7, kH = 0.027, kPhi = 0.7, kA = 2.5;

// A one-channel record at 100 /s: 5 s of quiet, then a decay at 3.7 Hz.
std::string DecayFile(const TempDir& dir, const std::string& name) {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 3000;
  record.Rate = kRate;
  CopyToSlot("P1", record.Names[0]);
  CopyToSlot("gal", record.Units[0]);
  record.Samples[0].assign(3000, 0.0f);
  const double wn = 2.0 * M_PI * kF;
  for (int i = 500; i < 3000; ++i) {
    const double t = (i - 500) / kRate;
    record.Samples[0][static_cast<std::size_t>(i)] =
        static_cast<float>(kA * std::exp(-kH * wn * t) * std::cos(wn * std::sqrt(1.0 - kH * kH) * t + kPhi));
  }
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteCsv(path, record).ok);
  return path;
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.RecordIn(dir.path());
    path = DecayFile(dir, "decay.csv");
  }
  std::string Results() const { return TempDir::Read(session.ResultsPath()); }
  std::string Log() const { return TempDir::Read(session.LogPath()); }
  void Load(const std::string& file) {
    LoadCommit commit;
    ASSERT_TRUE(session.Load({file, FileKind::Csv, std::nullopt}, nullptr, &commit).ok());
    EXPECT_TRUE(commit.Notices.empty());
  }

  TempDir dir;
  Session session;
  std::string path;
};

TEST_F(SessionTest, AFailedLoadChangesNothing) {
  Load(path);
  const SessionEvaluation first = session.Evaluate(session.RequestAt(500, 3.8, 0.03));
  ASSERT_TRUE(first.Result.Accepted());
  const std::string results = Results();

  const LoadOutcome missing = session.Load({dir.File("missing.csv"), FileKind::Csv, std::nullopt});
  EXPECT_EQ(missing.status, LoadOutcome::Status::CannotOpen);
  EXPECT_EQ(SlotText(session.Record().FileName), "decay.csv");
  EXPECT_EQ(session.Record().SampleCount, 3000);
  EXPECT_EQ(session.Store().NData, 1);
  EXPECT_EQ(Results(), results);
}

TEST_F(SessionTest, ALoadStartsAnEmptyResultsFileAndStore) {
  Load(path);
  ASSERT_TRUE(session.Evaluate(session.RequestAt(500, 3.8, 0.03)).Result.Accepted());
  EXPECT_NE(Results(), ResultsHeaderLine());
  session.View().Start = 700;

  // The same file again: the rows of the first load are gone, the log keeps them.
  Load(path);
  EXPECT_EQ(Results(), ResultsHeaderLine());
  EXPECT_EQ(session.Store().NData, 0);
  EXPECT_EQ(session.View().Start, 0);
  EXPECT_TRUE(session.View().Channels[0]);
  EXPECT_EQ(std::optional<std::string>(session.RecordSha256()), FileSha256(path));
  EXPECT_FALSE(session.Band().has_value());
  EXPECT_NE(Log().find("decay.csv,1,P1,500,5,"), std::string::npos);
}

TEST_F(SessionTest, AnAcceptedEvaluationIsStoredAndRecorded) {
  Load(path);
  const SessionEvaluation outcome = session.Evaluate(session.RequestAt(500, 3.8, 0.03));
  const Evaluation& evaluation = outcome.Result;
  ASSERT_TRUE(evaluation.Accepted());
  EXPECT_TRUE(outcome.Stored);
  EXPECT_NEAR(evaluation.Fit.Result.F, kF, 1e-3);
  EXPECT_NEAR(evaluation.Fit.Result.H, kH, 1e-4);
  EXPECT_EQ(session.Store().NData, 1);
  EXPECT_EQ(session.Store().DataF[0], evaluation.Acceptance.F);
  // The next initial values are 5 % above the result.
  EXPECT_EQ(evaluation.Acceptance.NextInitF, "3.885");
  EXPECT_EQ(evaluation.Acceptance.NextInitH, "0.0284");
  EXPECT_EQ(Results(), ResultsHeaderLine() + evaluation.ResultsRow);
  EXPECT_EQ(evaluation.ResultsRow.substr(0, 20), "decay.csv,1ch,P1,2.5");
  const std::string log = Log();
  EXPECT_EQ(log.substr(0, EvaluationLogHeader().size()), EvaluationLogHeader());
  EXPECT_NE(log.find(evaluation.LogRow), std::string::npos);
}

TEST_F(SessionTest, AFailedEvaluationIsLoggedButNotStoredOrRecorded) {
  Load(path);
  // A damping ratio of 1 leaves no oscillation to fit.
  const SessionEvaluation outcome = session.Evaluate(session.RequestAt(500, 3.8, 1.0));
  ASSERT_FALSE(outcome.Result.Ok());
  EXPECT_EQ(outcome.Result.Fit.Failure->Message, "減衰係数の評価が異常です");
  EXPECT_EQ(session.Store().NData, 0);
  EXPECT_EQ(Results(), ResultsHeaderLine());
  EXPECT_NE(Log().find(",500,5,"), std::string::npos);

  // A start past the record evaluates nothing: not even the log keeps it.
  const std::string log = Log();
  EXPECT_FALSE(session.Evaluate(session.RequestAt(5000, 3.8, 0.03)).Result.Ok());
  EXPECT_EQ(Log(), log);
}

TEST_F(SessionTest, ARefilterKeepsTheResultsAndTheViewAndNamesItsBand) {
  Load(path);
  ASSERT_TRUE(session.Evaluate(session.RequestAt(500, 3.8, 0.03)).Result.Accepted());
  session.View().Start = 500;
  const std::string results = Results();

  const BandEdges band = EdgesFromCentre(3.7f, 0.3f);
  EXPECT_FALSE(session.FilteredWith(band));
  LoadOutcome read = Session::Read(session.RefilterRequest(band));
  ASSERT_TRUE(read.ok());
  session.CommitRefilter(std::move(read));
  ASSERT_TRUE(session.Band().has_value());
  EXPECT_EQ(session.Band()->Lower, band.Lower);
  EXPECT_TRUE(session.FilteredWith(band));
  EXPECT_FALSE(session.FilteredWith(std::nullopt));
  EXPECT_EQ(session.View().Start, 500);
  EXPECT_EQ(session.Store().NData, 1);
  EXPECT_EQ(Results(), results);

  // The log row of an evaluation of the filtered record names the band.
  const SessionEvaluation filtered = session.Evaluate(session.RequestAt(1000, 3.8, 0.03));
  ASSERT_TRUE(filtered.Result.Ok());
  EXPECT_NE(filtered.Result.LogRow.find(",2.59-4.81Hz,"), std::string::npos) << filtered.Result.LogRow;
}

TEST_F(SessionTest, AFullStoreSaysSoOnceUntilItIsReset) {
  Load(path);
  std::vector<Notice> notices;
  for (int i = 0; i < kStoreCapacity; ++i) ASSERT_TRUE(session.AddPoint(2.0f, 0.02f, notices));
  EXPECT_TRUE(notices.empty());
  EXPECT_FALSE(session.AddPoint(2.0f, 0.02f, notices));
  EXPECT_FALSE(session.AddPoint(2.0f, 0.02f, notices));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].Level, Notice::Kind::Information);
  session.ResetStore();
  EXPECT_TRUE(session.AddPoint(2.0f, 0.02f, notices));
  for (int i = 1; i < kStoreCapacity; ++i) session.AddPoint(2.0f, 0.02f, notices);
  EXPECT_FALSE(session.AddPoint(2.0f, 0.02f, notices));
  EXPECT_EQ(notices.size(), 2u);
}

TEST_F(SessionTest, AveragesOfTheStoreAreItsMeans) {
  std::vector<Notice> notices;
  session.AddPoint(2.000f, 0.0300f, notices);
  session.AddPoint(2.100f, 0.0310f, notices);
  session.AddPoint(2.200f, 0.0320f, notices);
  const AverageTexts texts = AverageLabels(session.Store());
  EXPECT_EQ(texts.MeanF, "2.100");
  EXPECT_EQ(texts.MeanH, "0.0310");
  EXPECT_EQ(texts.Count, "3回");
}

TEST_F(SessionTest, AnExcludedPointLeavesTheAveragesAndIsLoggedAndComesBack) {
  Load(path);
  ASSERT_TRUE(session.Evaluate(session.RequestAt(500, 3.8, 0.03)).Result.Accepted());
  ASSERT_TRUE(session.Evaluate(session.RequestAt(700, 3.8, 0.03)).Result.Accepted());
  const ResultStore both = session.Store();
  const std::string results = Results();

  std::vector<Notice> notices;
  const std::optional<ExcludedPoint> out = session.ExcludePoint(0, notices);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(out->F, both.DataF[0]);
  EXPECT_EQ(session.Store().NData, 1);
  EXPECT_EQ(session.Store().DataF[0], both.DataF[1]);
  EXPECT_EQ(session.Store().AveF, both.DataF[1]);
  // The log says which evaluation was taken out; the results file is as it was.
  const std::string excluded = ShiftJisText("除外");
  EXPECT_NE(Log().find(",500,5,"), Log().rfind(",500,5,"));
  EXPECT_NE(Log().find("," + excluded + ","), std::string::npos);
  EXPECT_EQ(Results(), results);

  ASSERT_TRUE(session.RestorePoint(*out, notices));
  EXPECT_EQ(session.Store().NData, 2);
  EXPECT_EQ(session.Store().DataF[0], both.DataF[0]);
  EXPECT_EQ(session.Store().AveF, both.AveF);
  EXPECT_NE(Log().find("," + ShiftJisText("除外取消") + ","), std::string::npos);
  EXPECT_TRUE(notices.empty());
  EXPECT_FALSE(session.ExcludePoint(2, notices).has_value());
}

// A log of the version before is never rewritten: the rows go beside it,
// and the user is told once.
TEST_F(SessionTest, AnOlderLogStaysAsItIsAndTheRowsGoBesideIt) {
  const std::string older = ShiftJisText("日時,ファイル名,チャンネル") + "\r\n2026/12/01 10:00:00,x.csv,1\r\n";
  dir.Write("評価記録.csv", older);
  Load(path);
  const SessionEvaluation first = session.Evaluate(session.RequestAt(500, 3.8, 0.03));
  const SessionEvaluation second = session.Evaluate(session.RequestAt(700, 3.8, 0.03));
  EXPECT_EQ(TempDir::Read(dir.File("評価記録.csv")), older);
  EXPECT_EQ(TempDir::Read(dir.File("評価記録_2.csv")),
            EvaluationLogHeader() + first.Result.LogRow + second.Result.LogRow);
  ASSERT_EQ(first.Notices.size(), 1u);
  EXPECT_NE(first.Notices[0].Text.find("評価記録_2.csv"), std::string::npos);
  EXPECT_TRUE(second.Notices.empty());
}

TEST(SessionWithoutFolder, RecordsNothing) {
  TempDir dir;
  const std::string path = DecayFile(dir, "decay.csv");
  Session session;
  ASSERT_TRUE(session.Load({path, FileKind::Csv, std::nullopt}).ok());
  const SessionEvaluation outcome = session.Evaluate(session.RequestAt(500, 3.8, 0.03));
  EXPECT_TRUE(outcome.Result.Accepted());
  EXPECT_TRUE(outcome.Notices.empty());
  EXPECT_FALSE(session.ResultsFileOpen());
}

}  // namespace
