// Names and numbers as the commands write them: a name holding a line break
// adds no row anywhere; a record's own bytes reach the results and converted
// files unchanged, even Shift-JIS that looks like UTF-8; and the user's
// locale, decimal comma and all, changes no byte of any output.
#include <gtest/gtest.h>
#include <locale.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/ResultRows.h"
#include "tests/support/CliProcess.h"
#include "tests/support/CliRun.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

std::size_t Lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// One SPC-51 channel named `name` at 100 samples/s: a decay of 3.7 Hz, damping
// 0.04, phase 0.7, in counts of 0.001.
std::string DecaySpc51(const TempDir& dir, const std::string& fileName, const std::string& name) {
  Spc51Builder file;
  file.channelCount = 1;
  file.sampleCount = 1000;
  file.rate = 100;
  file.channels = {{name, "gal", 0.001f}};
  const double wn = 2.0 * M_PI * 3.7;
  for (int i = 0; i < 1000; ++i) {
    const double t = i / 100.0;
    file.frames.push_back(static_cast<std::int16_t>(
        std::lround(20000.0 * std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1.0 - 0.04 * 0.04) * t + 0.7))));
  }
  return dir.Write(fileName, file.Bytes());
}

TEST(CliNames, ALineBreakInANameAddsNoRow) {
  TempDir dir;
  const std::string results = dir.File("results.csv");
  const std::string log = dir.File("log.csv");
  const std::string spc = DecaySpc51(dir, "a\r\nb.dbl", "P1\r\nx.dbl,1ch,FAKE");
  const CliRunResult fit = RunCliCaptured(
      {"fit", spc, "--channel", "1", "--f0", "3.5", "--results", results, "--log", log});
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_EQ(Lines(fit.out), 1u);
  EXPECT_EQ(fit.out.rfind("a??b.dbl,1ch,P1??x.dbl,1ch,FAKE,", 0), 0u) << fit.out;
  const std::string rows = TempDir::Read(results);
  EXPECT_EQ(Lines(rows), 2u);
  EXPECT_EQ(rows.substr(ResultsHeaderLine().size()).rfind("a??b.dbl,1ch,P1??x.dbl,1ch,FAKE,", 0), 0u);
  const std::string logged = TempDir::Read(log);
  EXPECT_EQ(Lines(logged), 2u);
  // The log quotes a field that holds commas, as RFC 4180 does.
  EXPECT_NE(logged.find(",a??b.dbl,1,\"P1??x.dbl,1ch,FAKE\",0,5,"), std::string::npos) << logged;

  const CliRunResult convert = RunCliCaptured({"convert", spc, "-"});
  ASSERT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(convert.out.rfind("P1??x.dbl,1ch,FAKE\r\n100,s\r\n", 0), 0u);
}

// Half-width "ﾂｰ" is 0xC2 0xB0 in Shift-JIS, and the same two bytes are the
// UTF-8 of "°". An SPC-51 name is Shift-JIS always: shown as ﾂｰ. A name in a
// CSV file is the file's bytes: copied as they are into every file written.
TEST(CliNames, ShiftJisThatLooksLikeUtf8KeepsItsBytes) {
  TempDir dir;
  const std::string sjis = "\xC2\xB0";
  const std::string shown = "ﾂｰ";
  const std::string spc = DecaySpc51(dir, "tsu.dbl", sjis);
  const CliRunResult info = RunCliCaptured({"info", spc});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\"names\": [\"" + shown + "\"]"), std::string::npos) << info.out;
  const CliRunResult fit = RunCliCaptured({"fit", spc, "--channel", "1", "--f0", "3.5"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_EQ(fit.out.rfind("tsu.dbl,1ch," + shown + ",", 0), 0u) << fit.out;

  const std::string csv = dir.File("tsu.csv");
  ASSERT_EQ(RunCliCaptured({"convert", spc, csv}).status, 0);
  EXPECT_EQ(TempDir::Read(csv).rfind(sjis + "\r\n100,s\r\n", 0), 0u);
  for (const std::string& record : {spc, csv}) {
    SCOPED_TRACE(record);
    const std::string results = dir.File("results.csv");
    fs::remove(results);
    const CliRunResult run = RunCliCaptured({"fit", record, "--channel", "1", "--f0", "3.5", "--results", results});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(TempDir::Read(results).find(",1ch," + sjis + ","), std::string::npos);
    const CliRunResult converted = RunCliCaptured({"convert", record, "-"});
    EXPECT_EQ(converted.out.rfind(sjis + "\r\n", 0), 0u);
  }
}

// Every output under a locale with a decimal comma, byte for byte as under C:
// the reals of the rows, the log's band and widths, the picture's texts and
// tick labels (the drawing module starts a toolkit that takes the user's
// locale), the signature and the converted record.
TEST(CliNames, ADecimalCommaLocaleChangesNoByte) {
  const locale_t installed = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
  if (installed == static_cast<locale_t>(nullptr)) {
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (Debian: locales-all)";
  }
  ::freelocale(installed);
  struct Run {
    std::string out;
    std::vector<std::string> files;
  };
  auto runAll = [](const std::string& locale) {
    TempDir dir;
    Run run;
    const std::vector<std::string> env = {"LC_ALL=" + locale, "LANG=" + locale};
    const std::vector<std::vector<std::string>> commands = {
        {"fit", kSample0, "--channel", "1", "--start", "2000", "--bandpass", "1.6", "0.45", "--width", "4.5",
         "--json", "--results", dir.File("results.csv"), "--log", dir.File("log.csv")},
        {"sweep", kSample0, "--channel", "1", "--from", "2000", "--to", "2300", "--every", "100", "--bandpass", "1.6",
         "0.45", "--plot", dir.File("sweep.png"), "--log", dir.File("log.csv")},
        {"plot", kSample0, dir.File("plot.png"), "--start", "2000", "--fit", "--bandpass", "1.6", "0.45"},
        {"rd", kSample0, dir.File("rd.csv"), "--channel", "1", "--length", "2.5", "--fit"},
        {"convert", kSample0, dir.File("convert.csv"), "--bandpass", "1.6", "0.45"},
    };
    for (const std::vector<std::string>& command : commands) {
      const CliProcessResult result = RunCliProcess(command, env, 120s);
      EXPECT_EQ(result.status, 0) << command[0] << ": " << result.err;
      run.out += result.out;
    }
    for (const char* name : {"results.csv", "sweep.png", "plot.png", "rd.csv", "convert.csv"}) {
      run.files.push_back(TempDir::Read(dir.File(name)));
    }
    // The log without its first column, the time of each evaluation.
    std::string log = TempDir::Read(dir.File("log.csv"));
    std::string columns;
    for (std::size_t at = 0; at < log.size();) {
      const std::size_t end = log.find('\n', at);
      const std::string line = log.substr(at, end - at);
      columns += line.substr(line.find(',')) + "\n";
      at = end == std::string::npos ? log.size() : end + 1;
    }
    run.files.push_back(columns);
    return run;
  };
  const Run c = runAll("C");
  const Run german = runAll("de_DE.UTF-8");
  EXPECT_EQ(german.out, c.out);
  ASSERT_EQ(german.files.size(), c.files.size());
  for (std::size_t i = 0; i < c.files.size(); ++i) {
    EXPECT_FALSE(c.files[i].empty()) << i;
    EXPECT_TRUE(german.files[i] == c.files[i]) << "file " << i << " differs";
  }
  EXPECT_NE(c.files.back().find(",0.88-2.32Hz,"), std::string::npos) << c.files.back();
}

}  // namespace
