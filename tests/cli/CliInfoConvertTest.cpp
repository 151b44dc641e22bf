#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "io/ReadCsv.h"
#include "io/WriteCsv.h"
#include "tests/support/CliRun.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";
const std::string kSample1 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample1.dbl";

TEST(CliInfo, DescribesACsvRecordAsOneJsonLine) {
  const CliRunResult run = RunCliCaptured({"info", kSample0});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::regex expected(
      R"(\{"file": "sample0\.csv", "type": "csv", "channels": 1, "samples": 6000, "rate": 100, )"
      R"("time": "\d{4}/\d\d/\d\d \d\d:\d\d:\d[02468]", "names": \["P1"\], "units": \["cm/s2"\]\}\n)");
  EXPECT_TRUE(std::regex_match(run.out, expected)) << run.out;
}

TEST(CliInfo, DescribesAnSpc51RecordWithItsScales) {
  const CliRunResult run = RunCliCaptured({"info", kSample1});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"file\": \"sample1.dbl\", \"type\": \"dbl\", \"channels\": 3, \"samples\": 8000, \"rate\": 200, "
            "\"time\": \"2026/12/07 10:00:00\", \"names\": [\"GL-1F\", \"V-2F\", \"V-RF\"], "
            "\"units\": [\"gal\", \"kine\", \"kine\"], \"scales\": [0.001, 0.099999994, 0.099999994]}\n");
}

TEST(CliInfo, ShowsShiftJisNamesAsUtf8AndEscapesJson) {
  TempDir dir;
  Spc51Builder file;
  file.channelCount = 2;
  file.channels = {{"\x91\xAA\x93\x5F", "gal", 1.0f}, {"a\"b\\c\td", "gal", 1.0f}};
  const std::string path = dir.Write("names.DBL", file.Bytes());
  const CliRunResult run = RunCliCaptured({"info", path});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"names\": [\"測点\", \"a\\\"b\\\\c\\td\"]"), std::string::npos) << run.out;
}

TEST(CliConvert, WritesWhatTheWindowsConversionWrites) {
  TempDir dir;
  const std::string out = dir.File("converted");  // used as given: no extension added
  ASSERT_EQ(RunCliCaptured({"convert", kSample1, out}).status, 0);
  WaveData record;
  ASSERT_TRUE(ReadCsv(out, record).ok());
  EXPECT_EQ(record.ChannelCount, 3);
  EXPECT_EQ(record.SampleCount, 8000);
  EXPECT_EQ(SlotText(record.Units[1]), "kine");

  const CliRunResult toStdout = RunCliCaptured({"convert", kSample1, "-"});
  ASSERT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out, TempDir::Read(out));
  EXPECT_EQ(toStdout.out.substr(0, 43), "GL-1F,V-2F,V-RF\r\n200,s\r\nMEMO1,MEMO2,MEMO3\r\n");
}

TEST(CliConvert, BandPassFiltersBeforeWriting) {
  const CliRunResult plain = RunCliCaptured({"convert", kSample0, "-"});
  const CliRunResult filtered = RunCliCaptured({"convert", kSample0, "-", "--bandpass", "2", "0.1"});
  ASSERT_EQ(filtered.status, 0) << filtered.err;
  EXPECT_EQ(plain.out.substr(0, 20), filtered.out.substr(0, 20));
  EXPECT_NE(plain.out, filtered.out);
}

TEST(Cli, ExitStatusesAndMessages) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string errContains;
  };
  const std::vector<Case> cases = {
      {{}, 2, "no command"},
      {{"draw", kSample0}, 2, "unknown command"},
      {{"info"}, 2, "takes FILE"},
      {{"info", kSample0, "--json"}, 2, "unknown option"},
      {{"info", kSample0, "--type", "txt"}, 2, "--type"},
      {{"info", kSample0, "--bandpass", "0", "0.1"}, 2, "--bandpass"},
      {{"info", kSample0, "--bandpass", "2", "1"}, 2, "--bandpass"},
      {{"info", kSample0, "--bandpass", "2"}, 2, "needs a value"},
      // At 100 samples/s the upper transition edge 1.5 × 1500 Hz lies far beyond 50 Hz.
      {{"convert", kSample0, "-", "--bandpass", "1000", "0.5"}, 2, "2250.00Hz）がサンプリング周波数の半分（50.00Hz）以上です"},
      {{"fit", kSample0}, 2, "--channel"},
      {{"fit", kSample0, "--channel", "x"}, 2, "--channel"},
      {{"plot", kSample0, "out.png", "--width", "0"}, 2, "--width"},
      {{"info", dir.File("missing.csv")}, 1, "ファイルが開けません"},
      {{"info", kSample0, "--type", "dbl"}, 1, "SPC-51"},
  };
  for (const Case& c : cases) {
    const CliRunResult run = RunCliCaptured(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.errContains), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
  const std::string version = RunCliCaptured({"--version"}).out;
  EXPECT_EQ(version.substr(0, version.find('\n') + 1), "oscalyx-cli 2.0\n");
  // The second line names the build: a revision and the date it was built.
  EXPECT_TRUE(std::regex_match(version.substr(version.find('\n') + 1),
                               std::regex("revision ([0-9a-f]{7}\\+?|unknown), \\d{4}-\\d{2}-\\d{2}\n")))
      << version;
  // The usage, then the rules of what the commands find by themselves.
  const std::string help = RunCliCaptured({"--help"}).out;
  EXPECT_EQ(help.rfind(kCliUsage, 0), 0u);
  for (const char* rule : {"\nspectrum: ", "\ndetect: 検出: ", "\n--f0 auto: ", "\nflags: aliased"}) {
    EXPECT_NE(help.find(rule), std::string::npos) << rule;
  }
}

// Output that never reached its file is a failure with the cause, never a
// success.
TEST(Cli, LostOutputIsAFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string fullDisk = "標準出力に書き込めません：ディスクの空き容量が足りません。\n";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"info", kSample0}, fullDisk},
      {{"fit", kSample0, "--channel", "1", "--start", "2000"}, fullDisk},
      {{"fit", kSample0, "--channel", "1", "--start", "2000", "--json"}, fullDisk},
      {{"--version"}, fullDisk},
      {{"convert", kSample1, "-"}, "CSVデータを書き込めません：ディスクの空き容量が足りません。\n"},
  };
  for (const Case& c : cases) {
    std::FILE* out = std::fopen("/dev/full", "w");
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(RunCli(c.args, out, err), 1) << c.args[0];
    std::fflush(err);
    EXPECT_EQ(ReadAll(err), c.message) << c.args[0];
    std::fclose(out);
    std::fclose(err);
  }

  // The program itself, its stdout on a full device.
  const std::string command = CliShellCommand({"info", kSample0}) + " >/dev/full 2>/dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

}  // namespace
