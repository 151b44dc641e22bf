#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "analysis/DampedFit.h"
#include "analysis/ResultRows.h"
#include "analysis/StandardErrors.h"
#include "io/ReadCsv.h"
#include "io/ResultsFile.h"
#include "tests/support/CliRun.h"
#include "tests/support/FitResults.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

// The evaluation the window makes of the sample's decay from the load's boxes.
FitEvaluation SampleFit(std::int64_t start, double h0) {
  WaveData record;
  EXPECT_TRUE(ReadCsv(kSample0, record).ok());
  return EvaluateStretch(record.Samples[0], record.Rate, static_cast<float>(1.0 / record.Rate), start, 5.0f, 2.0, h0);
}

// The number after "key": in a one-line JSON object.
double JsonNumber(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  if (at == std::string::npos) return -12345.0;
  return std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

TEST(CliFit, PrintsTheResultsRowOfTheWindowsEvaluation) {
  const CliRunResult run = RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "2000"});
  ASSERT_EQ(run.status, 0) << run.err;
  const FitEvaluation fit = SampleFit(2000, 0.03);
  ASSERT_TRUE(fit.Ok());
  const FitResult& r = fit.Result;
  std::string row = FormatResultRow("sample0.csv", 1, "P1", ResultOf(r.A, r.Wn, r.H, r.Phi, r.Ratio));
  row.replace(row.size() - 2, 2, "\n");
  EXPECT_EQ(run.out, row);
  EXPECT_TRUE(std::regex_match(run.out, std::regex(R"(sample0\.csv,1ch,P1,[-0-9.]+,10\.0\d\d,1\.60\d,0\.62\d,0\.02\d\d,[-0-9.]+,(0\.9\d\d|1\.000)\n)")))
      << run.out;
  EXPECT_TRUE(run.err.empty());
}

TEST(CliFit, JsonCarriesTheSinglePrecisionValuesExactly) {
  const CliRunResult run =
      RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "2000", "--h0", "0.04", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const FitEvaluation fit = SampleFit(2000, 0.04);
  ASSERT_TRUE(fit.Ok());
  const FitResult& r = fit.Result;
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "A")), r.A);
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "wn")), r.Wn);
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "f")), r.F);
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "T")), r.T);
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "h")), r.H);
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "phi")), r.Phi);
  EXPECT_EQ(static_cast<float>(JsonNumber(run.out, "ratio")), r.Ratio);
  EXPECT_EQ(JsonNumber(run.out, "passes"), r.Passes);
  EXPECT_NE(run.out.find("\"accepted\": true, \"row\": \"sample0.csv,1ch,P1,"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.back(), '\n');

  // The standard errors of this evaluation, as one object.
  const auto se = EvaluationStandardErrors(fit.Points, fit.Result);
  ASSERT_TRUE(se.has_value());
  const std::size_t at = run.out.find(", \"se\": {");
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string errors = run.out.substr(at + 8, run.out.find('}', at) - at - 7);
  EXPECT_DOUBLE_EQ(JsonNumber(errors, "A"), std::stod(RealText(se->A)));
  EXPECT_DOUBLE_EQ(JsonNumber(errors, "wn"), std::stod(RealText(se->Wn)));
  EXPECT_DOUBLE_EQ(JsonNumber(errors, "f"), std::stod(RealText(se->F)));
  EXPECT_DOUBLE_EQ(JsonNumber(errors, "h"), std::stod(RealText(se->H)));
  EXPECT_DOUBLE_EQ(JsonNumber(errors, "phi"), std::stod(RealText(se->Phi)));
  EXPECT_GT(se->F, 0.0);
}

TEST(CliFit, ResultsFileGetsHeaderOnceAndRowsInFileBytes) {
  TempDir dir;
  const std::string results = dir.File("results.csv");
  ASSERT_EQ(RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "2000", "--results", results}).status, 0);
  const CliRunResult second =
      RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "2100", "--results", results});
  ASSERT_EQ(second.status, 0) << second.err;
  const std::string text = TempDir::Read(results);
  const std::string header = ResultsHeaderLine();
  ASSERT_EQ(text.compare(0, header.size(), header), 0);
  const std::string rows = text.substr(header.size());
  const std::string first = RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "2000"}).out;
  EXPECT_EQ(rows, first.substr(0, first.size() - 1) + "\r\n" + second.out.substr(0, second.out.size() - 1) + "\r\n");
}

TEST(CliFit, FailuresPrintTheMessageAndTouchNothing) {
  TempDir dir;
  const std::string results = dir.File("results.csv");
  struct Case {
    std::vector<std::string> extra;
    const char* message;
  };
  const Case cases[] = {
      {{"--start", "2000", "--h0", "1.0"}, "減衰係数の評価が異常です"},
      {{"--start", "5600"}, "評価点がデータの終わりを越えています。"},  // 6000 samples, step 5
      {{"--start", "6000"}, "評価開始点がデータの範囲外です。"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"fit", kSample0, "--channel", "1", "--results", results};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRunResult run = RunCliCaptured(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string(c.message) + "\n");
    EXPECT_TRUE(run.out.empty());
    EXPECT_FALSE(std::filesystem::exists(results));
  }
}

// Eight processes append to one new results file and one new evaluation log at
// once, twenty times over: every time exactly one header and every process's
// row in each.
TEST(CliFit, ProcessesAppendingAtOnceWriteOneHeaderAndEveryRow) {
  constexpr int kProcesses = 8;
  constexpr int kRounds = 20;
  std::vector<std::string> expected;
  for (int p = 0; p < kProcesses; ++p) {
    const CliRunResult run =
        RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", std::to_string(2000 + 10 * p)});
    ASSERT_EQ(run.status, 0) << run.err;
    expected.push_back(run.out.substr(0, run.out.size() - 1) + "\r\n");
  }
  std::sort(expected.begin(), expected.end());

  TempDir dir;
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (int round = 0; round < kRounds; ++round) {
    const std::string results = dir.File("round" + std::to_string(round) + ".csv");
    const std::string log = dir.File("log" + std::to_string(round) + ".csv");
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
      const std::vector<std::string> args = {OSCALYX_CLI_PATH, "fit",     kSample0,
                                             "--channel",      "1",       "--start",
                                             std::to_string(2000 + 10 * p), "--results", results, "--log", log};
      std::vector<char*> argv;
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      pid_t child = 0;
      ASSERT_EQ(posix_spawn(&child, OSCALYX_CLI_PATH, &quiet, nullptr, argv.data(), environ), 0);
      children.push_back(child);
    }
    for (const pid_t child : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    const std::string text = TempDir::Read(results);
    const std::string header = ResultsHeaderLine();
    ASSERT_EQ(text.compare(0, header.size(), header), 0) << "round " << round;
    std::vector<std::string> rows;
    for (std::size_t at = header.size(); at < text.size();) {
      const std::size_t end = text.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << "round " << round;
      rows.push_back(text.substr(at, end + 2 - at));
      at = end + 2;
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, expected) << "round " << round;

    const std::string logged = TempDir::Read(log);
    const std::string logHeader = EvaluationLogHeader();
    ASSERT_EQ(logged.compare(0, logHeader.size(), logHeader), 0) << "round " << round;
    std::vector<std::string> starts;
    for (std::size_t at = logHeader.size(); at < logged.size();) {
      const std::size_t end = logged.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << "round " << round;
      // "date time,sample0.csv,1,P1,<start>,..."
      const std::string row = logged.substr(at, end - at);
      const std::size_t name = row.find(",sample0.csv,1,P1,");
      ASSERT_NE(name, std::string::npos) << row;
      starts.push_back(row.substr(name + 18, 4));
      at = end + 2;
    }
    std::sort(starts.begin(), starts.end());
    std::vector<std::string> expectedStarts;
    for (int p = 0; p < kProcesses; ++p) expectedStarts.push_back(std::to_string(2000 + 10 * p));
    EXPECT_EQ(starts, expectedStarts) << "round " << round;
  }
  posix_spawn_file_actions_destroy(&quiet);
}

TEST(CliFit, ChannelOutsideTheRecordIsAUsageErrorInEveryCommandThatTakesOne) {
  const std::string out = ::testing::TempDir() + "/channel_rd.csv";
  const std::vector<std::vector<std::string>> commands = {
      {"fit", kSample0, "--channel", "2", "--start", "2000"},
      {"sweep", kSample0, "--channel", "0", "--from", "2000", "--to", "2100", "--every", "50"},
      {"rd", kSample0, out, "--channel", "2"},
  };
  for (const auto& args : commands) {
    const CliRunResult run = RunCliCaptured(args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_TRUE(run.out.empty()) << args[0];
    EXPECT_NE(run.err.find("--channel must be between 1 and 1"), std::string::npos) << args[0] << ": " << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
