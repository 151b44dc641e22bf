// The command line's read options: every reader reached by extension or
// --type, its warnings on stderr with exit 0, its refusals with exit 1, and
// options that do not suit the reader (or a missing rate) as usage errors.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/CliRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/UffBuilder.h"
#include "tests/support/WavBuilder.h"

namespace {

// A 3.7 Hz decay (damping 0.04, phase 0.7) as "%.5f" at `rate`.
std::vector<std::string> DecayCells(int count, double rate) {
  std::vector<std::string> cells;
  const double wn = 2 * std::numbers::pi * 3.7;
  for (int i = 0; i < count; ++i) {
    const double t = i / rate;
    char cell[32];
    std::snprintf(cell, sizeof cell, "%.5f", 20.0 * std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1 - 0.04 * 0.04) * t + 0.7));
    cells.push_back(cell);
  }
  return cells;
}

TEST(CliReadOptions, EveryReaderByExtensionOrType) {
  TempDir dir;
  std::string text = "Time\tNorth\n";
  std::string csv = "North\n25.6,s\nm\ngal\n";
  const std::vector<std::string> cells = DecayCells(2000, 25.6);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    char time[32];
    std::snprintf(time, sizeof time, "%.7f", static_cast<double>(i) / 25.6);
    text += std::string(time) + "\t" + cells[i] + "\n";
    csv += cells[i] + "\n";
  }
  const std::string txt = dir.Write("log.txt", text);
  const std::string plain = dir.Write("same.csv", csv);
  WavBuilder wav;
  wav.rate = 512;
  wav.frames.assign(100, std::vector<double>{16384.0});
  UffDataSet set;
  set.name = "Point 3 +Z";
  set.increment = 1.0 / 51.2;
  set.values.assign(64, 0.5);
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // a piece of info's JSON
  };
  const std::vector<Case> cases = {
      {{"info", txt, "--time-column", "1"}, R"("type": "text", "channels": 1, "samples": 2000, "rate": 25.6)"},
      {{"info", txt, "--time-column", "1", "--names", "N-S", "--unit", "gal"}, R"("names": ["N-S"], "units": ["gal"])"},
      {{"info", plain}, R"("type": "csv", "channels": 1, "samples": 2000, "rate": 25.6)"},
      {{"info", dir.Write("a.wav", wav.Bytes()), "--scale", "2"}, R"("type": "wav", "channels": 1, "samples": 100, "rate": 512)"},
      {{"info", dir.Write("a.unv", UffText(set))}, R"("type": "uff", "channels": 1, "samples": 64, "rate": 51.2)"},
      {{"info", dir.Write("log.data", text), "--type", "text", "--rate", "25.6"}, R"("type": "text", "channels": 2)"},
  };
  for (const Case& c : cases) {
    const CliRunResult run = RunCliCaptured(c.args);
    EXPECT_EQ(run.status, 0) << c.args[1] << ": " << run.err;
    EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
  }
  // The text file's channel is the CSV file's channel: the same evaluation.
  const CliRunResult fromText = RunCliCaptured({"fit", txt, "--channel", "1", "--time-column", "1", "--start", "30", "--f0", "3.5"});
  const CliRunResult fromCsv = RunCliCaptured({"fit", plain, "--channel", "1", "--start", "30", "--f0", "3.5"});
  ASSERT_EQ(fromText.status, 0) << fromText.err;
  ASSERT_EQ(fromCsv.status, 0) << fromCsv.err;
  EXPECT_EQ(fromText.out.substr(fromText.out.find(',')), fromCsv.out.substr(fromCsv.out.find(',')));
  // A fractional rate is written as it was read.
  const CliRunResult converted = RunCliCaptured({"convert", txt, "-", "--time-column", "1"});
  ASSERT_EQ(converted.status, 0);
  EXPECT_EQ(converted.out.substr(0, 16), "North\r\n25.6,s\r\nM");
}

TEST(CliReadOptions, WarningsGoToStderrWithSuccess) {
  TempDir dir;
  const std::string nine = dir.Write("nine.csv", "1,2,3,4,5,6,7,8,9\n100,s\nm\nu\n1,2,3,4,5,6,7,8,9\n");
  const CliRunResult run = RunCliCaptured({"info", nine});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"channels\": 8"), std::string::npos);
  EXPECT_EQ(run.err, "9 チャンネルのうち 1〜8 を読み込みました（読み込めるのは 8 チャンネルまでです）。\n");
}

TEST(CliReadOptions, UsageErrorsAndRefusals) {
  TempDir dir;
  const std::string txt = dir.Write("a.txt", "1 2\n3 4\n");
  const std::string csv = dir.Write("a.csv", "A\n100,s\nm\nu\n1\n");
  UffDataSet a;
  a.values.assign(10, 1.0);
  UffDataSet b = a;
  b.increment = 0.02;
  WavBuilder wav;
  wav.frames.assign(100, std::vector<double>{1.0});
  const std::string bytes = wav.Bytes();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"info", txt}, 2, "a text file needs either --rate HZ or --time-column K"},
      {{"info", txt, "--rate", "10", "--time-column", "1"}, 2, "a text file needs either --rate HZ or --time-column K"},
      {{"info", csv, "--rate", "10"}, 2, "--rate does not apply to csv files"},
      {{"info", dir.Write("x.mat", "x"), "--variable", "data"}, 2, "a MATLAB file needs --rate HZ"},
      {{"info", txt, "--rate", "10", "--scale", "2"}, 2, "--scale does not apply to text files"},
      {{"info", dir.Write("w.wav", bytes), "--scale", "0"}, 2, "--scale takes a number other than 0"},
      {{"info", txt, "--rate", "0"}, 2, "--rate takes samples per second"},
      {{"info", txt, "--rate", "10", "--delimiter", "pipe"}, 2, "--delimiter takes , ; tab or space"},
      {{"info", txt, "--type", "xls"}, 2, "--type takes csv, dbl, text, wav, uff or mat"},
      {{"info", dir.Write("two.uff", UffText(a) + UffText(b))}, 1, "データセットによって時間の刻みが異なります"},
      {{"info", dir.Write("cut.wav", bytes.substr(0, bytes.size() - 10))}, 1, "WAVファイルが途中で切れています"},
      {{"info", dir.Write("bad.txt", "1 2\n3 x\n"), "--rate", "10"}, 1, "2 行目は数値の行ではありません"},
  };
  for (const Case& c : cases) {
    const CliRunResult run = RunCliCaptured(c.args);
    EXPECT_EQ(run.status, c.status) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
