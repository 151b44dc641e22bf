#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include <QImage>
#include <filesystem>
#include <sstream>

#include "analysis/RandomDecrement.h"
#include "io/ReadCsv.h"
#include "io/WriteCsv.h"
#include "tests/support/AmbientRecord.h"
#include "tests/support/CliRun.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TempDir.h"

namespace {

// A fit's JSON without its interval: the signature's comes from its triggers,
// that of the file's fit from its residuals.
std::string WithoutInterval(const std::string& json) {
  return std::regex_replace(json, std::regex(R"(, "interval": (null|\{[^}]*\}))"), "");
}

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

// The text after "key": in fit's JSON up to the next comma or brace.
std::string JsonField(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  if (at == std::string::npos) return "<missing " + key + ">";
  const std::size_t begin = at + key.size() + 4;
  return json.substr(begin, json.find_first_of(",}", begin) - begin);
}

// Each row is what fit prints for its start: the same digits, and for a start
// that fails the same message. The results file gets fit's rows in start order.
TEST(CliSweep, RowsAreFitsAtTheSameStarts) {
  TempDir dir;
  const std::string results = dir.File("sweep.csv");
  const std::string log = dir.File("log.csv");
  const CliRunResult sweep = RunCliCaptured({"sweep", kSample0, "--channel", "1", "--from", "2000", "--to", "5650",
                                             "--every", "1200", "--h0", "0.04", "--results", results, "--log", log});
  ASSERT_EQ(sweep.status, 0) << sweep.err;
  const std::vector<std::string> lines = Split(sweep.out, '\n');
  ASSERT_EQ(lines.size(), 6u);  // header, 2000, 3200, 4400, 5600, and the empty rest after the last LF
  EXPECT_EQ(lines[0], "start,A,wn,f,T,h,phi,ratio,passes,accepted,se_f,se_h,f_lo,f_hi,h_lo,h_hi,flags,error");
  EXPECT_EQ(lines[5], "");

  TempDir fitDir;
  const std::string fitResults = fitDir.File("fit.csv");
  const char* starts[] = {"2000", "3200", "4400", "5600"};
  for (int i = 0; i < 4; ++i) {
    const std::vector<std::string> row = Split(lines[static_cast<std::size_t>(i) + 1], ',');
    ASSERT_EQ(row.size(), 18u) << lines[static_cast<std::size_t>(i) + 1];
    EXPECT_EQ(row[0], starts[i]);
    const CliRunResult fit = RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", starts[i], "--h0", "0.04",
                                             "--json", "--results", fitResults});
    if (fit.status != 0) {
      EXPECT_EQ(std::string(starts[i]), "5600");
      EXPECT_EQ(row[17] + "\n", fit.err);
      for (int k = 1; k <= 16; ++k) EXPECT_EQ(row[static_cast<std::size_t>(k)], "");
      continue;
    }
    const char* keys[] = {"A", "wn", "f", "T", "h", "phi", "ratio", "passes"};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(row[static_cast<std::size_t>(k) + 1], JsonField(fit.out, keys[k])) << keys[k];
    EXPECT_EQ(row[9], JsonField(fit.out, "accepted") == "true" ? "1" : "0");
    const std::string se = fit.out.substr(fit.out.find("\"se\": {"));
    EXPECT_EQ(row[10], JsonField(se, "f"));
    EXPECT_EQ(row[11], JsonField(se, "h"));
    // The interval and the flags, as fit gives them.
    const std::string interval = fit.out.substr(fit.out.find("\"interval\": {"));
    EXPECT_EQ(row[12] + ", " + row[13], interval.substr(interval.find("[") + 1, interval.find("]") - interval.find("[") - 1));
    // The flags fit gives (2000 starts before the decay's clean part).
    const std::string flags = fit.out.substr(fit.out.find("\"flags\": [") + 10);
    std::string names = flags.substr(0, flags.find(']'));
    names.erase(std::remove(names.begin(), names.end(), '"'), names.end());
    std::replace(names.begin(), names.end(), ',', ';');
    names.erase(std::remove(names.begin(), names.end(), ' '), names.end());
    EXPECT_EQ(row[16], names);
    EXPECT_EQ(row[17], "");
  }
  EXPECT_EQ(TempDir::Read(results), TempDir::Read(fitResults));
  // The log: its header, and a row per start whose stretch was evaluated (5600
  // reaches past the record: nothing to log), in start order.
  const std::vector<std::string> logged = Split(TempDir::Read(log), '\n');
  ASSERT_EQ(logged.size(), 5u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(logged[static_cast<std::size_t>(i) + 1].find(std::string(",sample0.csv,1,P1,") + starts[i] + ",5,"),
              std::string::npos);
  }
}

TEST(CliSweep, NothingEvaluatedIsAFailureAndBadRangesAreRefused) {
  TempDir dir;
  const std::string results = dir.File("results.csv");
  const CliRunResult none = RunCliCaptured(
      {"sweep", kSample0, "--channel", "1", "--from", "5900", "--to", "7000", "--every", "500", "--results", results});
  EXPECT_EQ(none.status, 1);
  // The first start past the record's end says so, and the sweep stops there.
  EXPECT_EQ(none.out,
            "start,A,wn,f,T,h,phi,ratio,passes,accepted,se_f,se_h,f_lo,f_hi,h_lo,h_hi,flags,error\n"
            "5900,,,,,,,,,,,,,,,,,評価点がデータの終わりを越えています。\n"
            "6400,,,,,,,,,,,,,,,,,評価開始点がデータの範囲外です。\n");
  EXPECT_FALSE(std::filesystem::exists(results));

  const std::vector<std::string> refused[] = {
      {"--from", "100", "--to", "99", "--every", "1"},
      {"--from", "0", "--to", "100", "--every", "0"},
      {"--from", "-1", "--to", "100", "--every", "1"},
      {"--from", "0", "--to", "100"},
  };
  for (const auto& range : refused) {
    std::vector<std::string> args = {"sweep", kSample0, "--channel", "1"};
    args.insert(args.end(), range.begin(), range.end());
    const CliRunResult run = RunCliCaptured(args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(CliSweep, PlotShowsFrequencyAndDampingSideBySide) {
  EnsureQtApp();
  TempDir dir;
  const std::string png = dir.File("sweep.png");
  const CliRunResult run = RunCliCaptured(
      {"sweep", kSample0, "--channel", "1", "--from", "2000", "--to", "2400", "--every", "50", "--plot", png});
  ASSERT_EQ(run.status, 0) << run.err;
  const QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(600, 300));
  // Red markers of the accepted evaluations in both graphs, nothing but the
  // white background beside their frames.
  int left = 0, right = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 600; ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF0000) ++(x < 300 ? left : right);
    }
  }
  EXPECT_GT(left, 50);
  EXPECT_GT(right, 50);
  EXPECT_EQ(image.pixel(295, 5) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(image.pixel(595, 5) & 0xFFFFFF, 0xFFFFFFu);
}

class CliRd : public ::testing::Test {
 protected:
  // Two channels: the ambient response in channel 2, channel 1 a falling ramp
  // that never crosses a level upwards.
  void SetUp() override {
    WaveData record;
    record.ChannelCount = 2;
    record.Rate = 100;
    record.SampleCount = 100000;
    CopyToSlot("ramp", record.Names[0]);
    CopyToSlot("P2", record.Names[1]);
    CopyToSlot("m", record.Units[0]);
    CopyToSlot("cm/s2", record.Units[1]);
    record.Samples[1] = AmbientResponse(1.85, 0.04, 100, record.SampleCount, 99);
    for (int i = 0; i < record.SampleCount; ++i) record.Samples[0].push_back(static_cast<float>(5.0 - 1e-4 * i));
    ambient = record.Samples[1];
    source = dir.File("ambient.csv");
    ASSERT_TRUE(WriteCsv(source, record).ok);
  }
  TempDir dir;
  std::string source;
  std::vector<float> ambient;
};

// The signature is a record of its own: the source channel's name, unit and
// rate, M samples; --fit is fit of that file, to the byte.
TEST_F(CliRd, WritesTheSignatureAsARecordAndFitsIt) {
  const std::string out = dir.File("signature.csv");
  const CliRunResult run = RunCliCaptured({"rd", source, out, "--channel", "2", "--fit", "--h0", "0.05"});
  ASSERT_EQ(run.status, 0) << run.err;

  WaveData written;
  ASSERT_TRUE(ReadCsv(source, written).ok());
  const RandomDecrementSignature rd = RandomDecrement(written.Samples[1], 100, 1.41, 5.0f);
  ASSERT_TRUE(rd.Ok());
  const std::string counts = "{\"triggers\": " + std::to_string(rd.Triggers) + ", \"sigma\": " + RealText(rd.Sigma) +
                             ", \"level\": " + RealText(rd.Level) + ", \"samples\": 500, \"fit\": ";
  ASSERT_EQ(run.out.substr(0, counts.size()), counts) << run.out;

  WaveData signature;
  ASSERT_TRUE(ReadCsv(out, signature).ok());
  EXPECT_EQ(signature.ChannelCount, 1);
  EXPECT_EQ(signature.SampleCount, 500);
  EXPECT_EQ(signature.Rate, 100);
  EXPECT_EQ(SlotText(signature.Names[0]), "P2");
  EXPECT_EQ(SlotText(signature.Units[0]), "cm/s2");
  EXPECT_NEAR(signature.Samples[0][0], rd.Values[0], 1e-6);
  EXPECT_NEAR(signature.Samples[0][499], rd.Values[499], 1e-6);

  const CliRunResult fit = RunCliCaptured({"fit", out, "--channel", "1", "--start", "0", "--width", "5", "--h0", "0.05",
                                           "--json"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_EQ(WithoutInterval(run.out), WithoutInterval(counts + fit.out.substr(0, fit.out.size() - 1) + "}\n"));
  EXPECT_NE(run.out.find("\"method\": \"rd-batch-means\""), std::string::npos) << run.out;
}

// An ambient record in g: the signature's values are about 1e-5. The file
// holds them as computed ("%.9g"; "%f" would leave one or two digits), and
// --fit evaluates them as computed, which is what fit of the file gives.
TEST_F(CliRd, ASmallSignatureIsWrittenAndFittedAsComputed) {
  WaveData record;
  ASSERT_TRUE(ReadCsv(source, record).ok());
  for (float& v : record.Samples[1]) v = static_cast<float>(v * 1e-5);
  const std::string small = dir.File("small.csv");
  ASSERT_TRUE(WriteCsv(small, record, nullptr, CsvValues::Exact).ok);

  const std::string out = dir.File("small_rd.csv");
  const CliRunResult run = RunCliCaptured({"rd", small, out, "--channel", "2", "--fit"});
  ASSERT_EQ(run.status, 0) << run.err;
  WaveData scaled;
  ASSERT_TRUE(ReadCsv(small, scaled).ok());
  const RandomDecrementSignature rd = RandomDecrement(scaled.Samples[1], 100, 1.41, 5.0f);
  ASSERT_TRUE(rd.Ok());
  WaveData signature;
  ASSERT_TRUE(ReadCsv(out, signature).ok());
  EXPECT_EQ(signature.Samples[0], rd.Values);

  const CliRunResult fit = RunCliCaptured({"fit", out, "--channel", "1", "--json"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_NE(WithoutInterval(run.out).find("\"fit\": " + WithoutInterval(fit.out.substr(0, fit.out.size() - 1)) + "}"),
            std::string::npos)
      << run.out;
  EXPECT_NE(fit.out.find("\"f\": 1.8"), std::string::npos) << fit.out;
}

TEST_F(CliRd, RefusalsWriteNothing) {
  const std::string out = dir.File("signature.csv");
  struct Case {
    std::vector<std::string> extra;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"--channel", "1"}, 1, "トリガ点がありません\n"},
      {{"--channel", "2", "--length", "0.01"}, 2, "信号の長さが短すぎます（2サンプル以上必要です）。\n"},
      {{"--channel", "2", "--length", "1000.01"}, 2, "信号の長さがデータの長さを超えています。\n"},
      {{"--channel", "2", "--level", "0"}, 2, nullptr},
      {{"--channel", "3"}, 2, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"rd", source, out};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRunResult run = RunCliCaptured(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.message != nullptr) {
      EXPECT_EQ(run.err, c.message);
    }
    EXPECT_TRUE(run.out.empty());
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  // Nothing but the source is left in the folder: no temporary file either.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
