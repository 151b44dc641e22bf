// Saved work: what a session file keeps comes back as it was, a Shift-JIS path
// included, and a damaged or foreign file is refused with a reason.
#include "session/SessionFile.h"

#include <gtest/gtest.h>

#include <cmath>

#include "io/WriteCsv.h"
#include "session/Session.h"
#include "tests/support/TempDir.h"

namespace {

TEST(SessionFileTest, WhatIsSavedComesBack) {
  SessionSnapshot saved;
  saved.RecordPath = "/data/\x91\xAA\x93\x5F.csv";  // 測点 in Shift-JIS: no UTF-8
  saved.Kind = FileKind::Text;
  saved.Options.Rate = 25.6;
  saved.Options.Delimiter = TextDelimiter::Semicolon;
  saved.Options.Names = {"A", "B"};
  saved.Sha256 = std::string(64, 'a');
  saved.Band = BandEdges{1.8f, 2.2f};
  saved.Edges = BandEdges{1.8f, 2.2f};
  saved.View.Start = 1234;
  saved.View.ScaleMode = TimeScaleMode::Short;
  saved.View.Divisions = 2;
  saved.View.SecondsPerDivision = 0.01f;
  saved.View.WidthSeconds = 0.02f;
  saved.View.ArrowStep = 2000;
  saved.View.Channels[1] = true;
  saved.View.PlotBackground = kWhitePlotBackground;
  EvaluationRequest request;
  request.Channel = 1;
  request.Start = 1234;
  request.WidthSeconds = 0.02f;
  request.F0 = 3.7;
  request.H0 = 0.027;
  saved.Store = {{2.0f, 0.03f, request}, {2.1f, 0.031f, std::nullopt}};

  std::string problem;
  const std::optional<SessionSnapshot> back = ParseSessionFile(SessionFileText(saved), problem);
  ASSERT_TRUE(back.has_value()) << problem;
  EXPECT_EQ(back->RecordPath, saved.RecordPath);
  EXPECT_EQ(back->Kind, FileKind::Text);
  EXPECT_EQ(back->Options, saved.Options);
  EXPECT_EQ(back->Sha256, saved.Sha256);
  ASSERT_TRUE(back->Band.has_value());
  EXPECT_EQ(back->Band->Upper, 2.2f);
  EXPECT_EQ(back->View.Start, 1234);
  EXPECT_EQ(back->View.ScaleMode, TimeScaleMode::Short);
  EXPECT_EQ(back->View.WidthSeconds, 0.02f);
  EXPECT_EQ(back->View.Channels, saved.View.Channels);
  EXPECT_EQ(back->View.PlotBackground, kWhitePlotBackground);
  ASSERT_EQ(back->Store.size(), 2u);
  EXPECT_EQ(back->Store[0].F, 2.0f);
  ASSERT_TRUE(back->Store[0].Source.has_value());
  EXPECT_EQ(back->Store[0].Source->H0, 0.027);
  EXPECT_FALSE(back->Store[1].Source.has_value());
}

TEST(SessionFileTest, ForeignAndDamagedFilesAreRefused) {
  std::string problem;
  EXPECT_FALSE(ParseSessionFile("{\"format\": \"other\"}", problem));
  EXPECT_EQ(problem, "このプログラムの作業ファイルではありません。");
  EXPECT_FALSE(ParseSessionFile("{\"format\": \"oscalyx-session\", \"version\": 1}", problem));
  EXPECT_EQ(problem, "作業ファイルが壊れているか、読めない形です。");
  EXPECT_FALSE(ParseSessionFile("not json at all", problem));
  EXPECT_FALSE(ParseSessionFile("{\"format\": \"oscalyx-session\", \"version\": 99}", problem));
  EXPECT_EQ(problem, "新しい版のプログラムで保存された作業ファイルです。");
}

// The accepted pairs come back with their evaluations made again, so that
// they can be excluded (and logged) as before.
TEST(SessionFileTest, TheStoreComesBackWithItsEvaluations) {
  TempDir dir;
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 1000;
  record.Rate = 100;
  record.Samples[0].resize(1000);
  const double wn = 2.0 * M_PI * 3.7;
  for (int i = 0; i < 1000; ++i) {
    record.Samples[0][static_cast<std::size_t>(i)] =
        static_cast<float>(2.0 * std::exp(-0.02 * wn * i / 100.0) * std::cos(wn * i / 100.0 + 0.7));
  }
  const std::string path = dir.File("decay.csv");
  ASSERT_TRUE(WriteCsv(path, record).ok);
  Session first;
  first.RecordIn(dir.path());
  ASSERT_TRUE(first.Load({path, FileKind::Csv, std::nullopt}).ok());
  ASSERT_TRUE(first.Evaluate(first.RequestAt(0, 3.8, 0.03)).Result.Accepted());
  const SessionSnapshot saved = first.Snapshot();
  ASSERT_EQ(saved.Store.size(), 1u);

  Session second;  // records nowhere: the first holds this folder's results file
  ASSERT_TRUE(second.Load({saved.RecordPath, saved.Kind, saved.Band, saved.Options}).ok());
  second.RestoreStore(saved.Store);
  EXPECT_EQ(second.Store().NData, 1);
  EXPECT_EQ(second.Store().DataF[0], first.Store().DataF[0]);
  ASSERT_NE(second.StoredEvaluations()[0], nullptr);
  EXPECT_EQ(second.StoredEvaluations()[0]->Fit.Result.H, first.StoredEvaluations()[0]->Fit.Result.H);
  EXPECT_EQ(second.RecordSha256(), saved.Sha256);
}

}  // namespace
