// The rows fit and sweep append to --results and --log: a command that fails
// appends nothing, so that running it again repeats no row; a link, the same
// file twice, or a last line without its end never spoil a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/ResultRows.h"
#include "io/FileHandle.h"
#include "tests/support/CliRun.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

std::size_t Lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// A results file another program keeps locked: the fit waits its time, then
// fails without printing its row or logging it; run again, it logs it once.
TEST(CliAppends, AFitThatCannotAppendEverythingAppendsNothing) {
  TempDir dir;
  const std::string results = dir.Write("results.csv", ResultsHeaderLine());
  const std::string log = dir.File("log.csv");
  const std::vector<std::string> fit = {"fit", kSample0, "--channel", "1", "--start", "2000",
                                        "--results", results, "--log", log};
  {
    FileHandle holder(::open(results.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
    const CliRunResult busy = RunCliCaptured(fit);
    EXPECT_EQ(busy.status, 1);
    EXPECT_EQ(busy.err, "結果ファイル「" + results + "」に書き込めません：別のプログラムがこのファイルに書き込み中です。\n");
    EXPECT_TRUE(busy.out.empty());
    EXPECT_FALSE(fs::exists(log));
  }
  const CliRunResult again = RunCliCaptured(fit);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(Lines(TempDir::Read(results)), 2u);
  EXPECT_EQ(Lines(TempDir::Read(log)), 2u);
}

// The sweep's stdout or its picture fails: neither file gets a row.
TEST(CliAppends, ASweepThatCannotFinishAppendsNothing) {
  TempDir dir;
  const std::string results = dir.File("results.csv");
  const std::string log = dir.Write("log.csv", EvaluationLogHeader());
  const std::vector<std::string> sweep = {"sweep",   kSample0, "--channel", "1",     "--from", "2000", "--to",
                                          "2400",    "--every", "200",      "--results", results, "--log", log};
  if (fs::exists("/dev/full")) {
    std::FILE* full = std::fopen("/dev/full", "w");
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(RunCli(sweep, full, err), 1);
    std::fclose(full);
    EXPECT_EQ(ReadAll(err), "標準出力に書き込めません：ディスクの空き容量が足りません。\n");
    std::fclose(err);
    EXPECT_FALSE(fs::exists(results));
    EXPECT_EQ(TempDir::Read(log), EvaluationLogHeader());
  }
  // A picture that cannot be made is found before the first evaluation.
  fs::create_directory(dir.File("picture.png"));
  std::vector<std::string> withPlot = sweep;
  withPlot.insert(withPlot.end(), {"--plot", dir.File("picture.png")});
  const CliRunResult plot = RunCliCaptured(withPlot);
  EXPECT_EQ(plot.status, 1);
  EXPECT_EQ(plot.err, "ファイル「" + dir.File("picture.png") + "」を作成できません：同じ名前のフォルダがあります。\n");
  EXPECT_TRUE(plot.out.empty());
  EXPECT_FALSE(fs::exists(results));
  EXPECT_EQ(TempDir::Read(log), EvaluationLogHeader());

  const CliRunResult done = RunCliCaptured(sweep);
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(Lines(TempDir::Read(results)), 1u + 3u);
  EXPECT_EQ(Lines(TempDir::Read(log)), 1u + 3u);
}

TEST(CliAppends, LinksTheSameFileTwiceAndLinesWithoutTheirEnd) {
  TempDir dir;
  const std::string victim = dir.Write("victim.txt", "somebody's data\n");
  const std::string link = dir.File("link.csv");
  fs::create_symlink(victim, link);
  const std::string both = dir.File("both.csv");
  struct Case {
    std::vector<std::string> extra;
    std::string message;
  };
  const Case cases[] = {
      {{"--results", link}, "結果ファイル「" + link + "」を作成できません：シンボリックリンクです（リンクを通しては書き込みません）。\n"},
      {{"--log", link}, "評価記録「" + link + "」を作成できません：シンボリックリンクです（リンクを通しては書き込みません）。\n"},
      {{"--results", both, "--log", both},
       "評価記録「" + both + "」を作成できません：「" + both + "」と同じファイルです（同じファイルに両方は書き込めません）。\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"fit", kSample0, "--channel", "1", "--start", "2000"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRunResult run = RunCliCaptured(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.message);
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_EQ(TempDir::Read(victim), "somebody's data\n");
  EXPECT_FALSE(fs::exists(both));

  // A results file whose last row was cut short (an editor, a crash): the
  // next row starts a line of its own.
  const std::string results = dir.Write("results.csv", ResultsHeaderLine() + "cut,1ch,P1,1.0");
  const CliRunResult fit = RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "2000", "--results", results});
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_EQ(TempDir::Read(results).rfind(ResultsHeaderLine() + "cut,1ch,P1,1.0\r\nsample0.csv,1ch,P1,", 0), 0u);
}

}  // namespace
