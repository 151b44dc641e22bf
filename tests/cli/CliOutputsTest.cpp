// The files the commands write, in hostile places and forms: a link in OUT's
// place, a pipe nobody reads, a read-only file, "-" and "--", paths longer
// than any slot, numbers beyond range, a sweep asked to run far past its
// record. Every case ends at once with its own message or does what was
// asked; nothing is written through a link.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ReadableUnits.h"
#include "components/MyGraph.h"
#include "io/LockedFile.h"
#include "io/ShiftJisText.h"
#include "tests/support/RecordingCanvas.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/CliProcess.h"
#include "tests/support/CliRun.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

// Each command that writes an OUT, its output going to `out`.
std::vector<std::vector<std::string>> Writers(const std::string& out) {
  return {
      {"convert", kSample0, out},
      {"plot", kSample0, out},
      {"rd", kSample0, out, "--channel", "1", "--length", "2"},
      {"sweep", kSample0, "--channel", "1", "--from", "2000", "--to", "2100", "--every", "100", "--plot", out},
      {"spectrum", kSample0, "--channel", "1", "--json", "--plot", out},
  };
}

// A link to somebody's file is replaced by OUT; one to a device (out.png ->
// /dev/loop0, /dev/stdout) is refused; neither is written through.
TEST(CliOutputs, ALinkInOutsPlaceIsReplacedOrRefusedNeverWrittenThrough) {
  EnsureQtApp();
  TempDir dir;
  const std::string victim = dir.Write("victim.txt", "somebody's data");
  const std::string out = dir.File("out");
  for (const std::vector<std::string>& args : Writers(out)) {
    SCOPED_TRACE(args[0]);
    fs::remove(out);
    fs::create_symlink(victim, out);
    const CliRunResult replaced = RunCliCaptured(args);
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_FALSE(fs::is_symlink(out));
    EXPECT_GT(fs::file_size(out), 100u);

    fs::remove(out);
    fs::create_symlink("/dev/null", out);
    const CliRunResult refused = RunCliCaptured(args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("」を作成できません：通常のファイルでないものを指すシンボリックリンクです"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(fs::is_symlink(out));
  }
  EXPECT_EQ(TempDir::Read(victim), "somebody's data");
}

TEST(CliOutputs, APipeWithoutReaderFailsAtOnce) {
  TempDir dir;
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const std::vector<std::string>& args : Writers(pipe)) {
    SCOPED_TRACE(args[0]);
    const CliProcessResult run = RunCliProcess(args, {}, 20s);
    EXPECT_FALSE(run.timedOut) << "waited for a reader";
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("読み手のいない名前付きパイプです"), std::string::npos) << run.err;
  }
}

TEST(CliOutputs, AReadOnlyOutIsReplacedOnlyWithForce) {
  EnsureQtApp();
  TempDir dir;
  const std::string out = dir.File("out");
  for (std::vector<std::string> args : Writers(out)) {
    SCOPED_TRACE(args[0]);
    dir.Write("out", "keep");
    ::chmod(out.c_str(), 0444);
    const CliRunResult refused = RunCliCaptured(args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "「" + out + "」は読み取り専用のファイルです。置き換えるには --force を付けてください。\n");
    EXPECT_TRUE(refused.out.empty());  // refused before anything was computed
    EXPECT_EQ(TempDir::Read(out), "keep");

    args.push_back("--force");
    const CliRunResult forced = RunCliCaptured(args);
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(TempDir::Read(out), "keep");
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all, fs::perms(0444));  // the file's permissions stay
    fs::remove(out);
  }
}

// The report's page follows the same rule (its OUT needs its extension).
TEST(CliOutputs, AReadOnlyReportIsReplacedOnlyWithForce) {
  EnsureQtApp();
  TempDir dir;
  const std::string out = dir.Write("page.png", "keep");
  ::chmod(out.c_str(), 0444);
  std::vector<std::string> args{"report", kSample0, out, "--channel", "1", "--start", "2000"};
  const CliRunResult refused = RunCliCaptured(args);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(TempDir::Read(out), "keep");
  args.push_back("--force");
  const CliRunResult forced = RunCliCaptured(args);
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(TempDir::Read(out).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST(CliOutputs, DashIsStdoutForEveryOut) {
  EnsureQtApp();
  const CliRunResult plot = RunCliCaptured({"plot", kSample0, "-"});
  ASSERT_EQ(plot.status, 0) << plot.err;
  EXPECT_EQ(plot.out.substr(0, 8), "\x89PNG\r\n\x1a\n");

  // The signature on stdout, its counts on stderr.
  const CliRunResult rd = RunCliCaptured({"rd", kSample0, "-", "--channel", "1", "--length", "2"});
  ASSERT_EQ(rd.status, 0) << rd.err;
  // The memo line says how the signature was made.
  EXPECT_EQ(rd.out.rfind("P1\r\n100,s\r\n" + ShiftJisText("RD法 レベル1.41σ 長さ2秒 範囲0-5999 トリガ"), 0), 0u);
  EXPECT_EQ(std::count(rd.out.begin(), rd.out.end(), '\n'), 4 + 200);
  EXPECT_EQ(rd.err.rfind("{\"triggers\": ", 0), 0u) << rd.err;
  EXPECT_NE(rd.err.find("\"samples\": 200}"), std::string::npos) << rd.err;
}

// "--" ends the options: a file whose name starts with "--" can be named.
// Refusing "-" for the appended files keeps their rows out of stdout.
TEST(CliOutputs, DoubleDashEndsTheOptions) {
  TempDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  fs::copy_file(kSample0, "--x.csv");
  const CliRunResult bare = RunCliCaptured({"info", "--x.csv"});
  EXPECT_EQ(bare.status, 2);
  const CliRunResult info = RunCliCaptured({"info", "--", "--x.csv"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out.rfind("{\"file\": \"--x.csv\"", 0), 0u) << info.out;
  const CliRunResult convert = RunCliCaptured({"convert", "--", "--x.csv", "--y.csv"});
  EXPECT_EQ(convert.status, 0) << convert.err;
  EXPECT_TRUE(fs::exists("--y.csv"));
  for (const char* option : {"--results", "--log"}) {
    const CliRunResult dash = RunCliCaptured({"fit", "--x.csv", "--channel", "1", option, "-"});
    EXPECT_EQ(dash.status, 2) << option;
    EXPECT_FALSE(fs::exists("-"));
  }
  fs::current_path(previous);
}

// Only the stored file name has a limit; the path is read and read again
// whole (the re-read of a filtered record uses it).
TEST(CliOutputs, InputPathsOfAnyLengthAreRead) {
  TempDir dir;
  fs::path deep = dir.path();
  for (int i = 0; i < 4; ++i) deep /= std::string(90, static_cast<char>('a' + i));
  fs::create_directories(deep);
  const std::string path = (deep / "sample0.csv").string();
  ASSERT_GT(path.size(), 256u);
  fs::copy_file(kSample0, path);
  const CliRunResult info = RunCliCaptured({"info", path});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out.rfind("{\"file\": \"sample0.csv\"", 0), 0u) << info.out;
  const CliRunResult fit = RunCliCaptured({"fit", path, "--channel", "1", "--start", "2000", "--bandpass", "1.6", "0.5"});
  EXPECT_EQ(fit.status, 0) << fit.err;
}

TEST(CliOutputs, MessagesSayWhatHappened) {
  TempDir dir;
  const std::string pipe = dir.File("pipe.csv");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"sweep", kSample0, "--channel", "1", "--from", "0", "--to", "99999999999", "--every", "1"}, 2,
       "--to 99999999999 is out of range (whole numbers from -2147483648 to 2147483647)"},
      {{"fit", kSample0, "--channel", "1", "--start", "3000000000"}, 2, "--start 3000000000 is out of range"},
      {{"sweep", kSample0, "--channel", "1", "--from", "0", "--to", "-5", "--every", "1"}, 2,
       "--to takes a sample number of 0 or more"},
      {{"fit", kSample0, "--channel", "1", "--start", "2000", "--results", pipe}, 1,
       "結果ファイル「" + pipe + "」を作成できません：" + kNotRegularFileText + "。"},
  };
  for (const Case& c : cases) {
    const CliProcessResult run = RunCliProcess(c.args, {}, 20s);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("エラー番号"), std::string::npos) << run.err;
  }
}

// Every start from the record's last sample on fails alike: the first one
// says so and the sweep ends there, however far --to reaches.
TEST(CliOutputs, ASweepStopsAtTheRecordsEnd) {
  const CliProcessResult run =
      RunCliProcess({"sweep", kSample0, "--channel", "1", "--from", "5900", "--to", "2000000000", "--every", "1"}, {},
                    30s);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 1);
  // The header, the 100 starts 5900 ... 5999 whose points run past the end,
  // and start 6000.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 102);
  const std::size_t last = run.out.find("\n6000,");
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(run.out.substr(run.out.find(",評価開始点", last)), ",評価開始点がデータの範囲外です。\n");
  EXPECT_EQ(run.out.find("\n6001,"), std::string::npos);
}

// The tick labels of the sweep's graphs, drawn from the values in their
// readable units: plain decimals of a few characters (the room left of the
// graph holds five) at any scale, the unit named in the title.
TEST(CliOutputs, SweepPictureLabelsArePlainAtAnyScale) {
  struct Case {
    std::vector<float> values;
    std::string title;
  };
  const Case cases[] = {
      {{2.1e-8f, -3.7e-8f, 1.2e-8f}, "減衰比 (×10^-8)"},
      {{1.5e-5f, 2.9e-5f}, "振幅 |A| (×10^-5)"},
      {{0.0021f, 0.0043f}, "振幅 |A| (×10^-3)"},
      {{2.5e6f, 3.1e6f}, "振幅 |A| (×10^6)"},
      {{0.025f, 0.031f}, "減衰比 (×10^-2)"},
      {{1.6f, 2.4f}, "固有振動数[Hz]"},
      {{0.0f, 0.0f}, "減衰比"},
  };
  for (const Case& c : cases) {
    const std::string plain = c.title.substr(0, c.title.find(" ("));
    const ReadableAxis axis = InReadableUnits(c.values, plain);
    EXPECT_EQ(axis.Title, c.title);
    RecordingCanvas canvas(300, 300);
    RecordingPlatform platform;
    TMyGraph graph(canvas, platform);
    graph.TitleX = "x";
    graph.TitleY = axis.Title;
    graph.YScaleUnit1(static_cast<int>(axis.Values.size()), axis.Values.data());
    graph.DrawWaku();
    for (const CanvasCall& text : canvas.Texts()) {
      if (text.text == "x" || text.text == axis.Title) continue;
      EXPECT_EQ(text.text.find('e'), std::string::npos) << c.title << ": " << text.text;
      EXPECT_LE(text.text.size(), 5u) << c.title << ": " << text.text;
    }
  }
}

}  // namespace
