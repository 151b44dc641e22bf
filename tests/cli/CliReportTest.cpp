// report: the page as the client receives it, read back with poppler's tools
// (one A4 page, every font embedded, the text extractable, the page not blank
// when rasterised, the rows attached), the same page as PNG and SVG, and the
// monitoring view of a batch's results file and of the database merged from it.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/support/CliRun.h"
#include "tests/support/RecordTree.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

// The stdout of a shell command, and whether it exited 0.
std::string Shell(const std::string& command, bool* ok = nullptr) {
  std::string text;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  const int status = ::pclose(pipe);
  if (ok != nullptr) *ok = status == 0;
  return text;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

double JsonNumber(const std::string& json, const std::string& key) {
  std::smatch found;
  if (!std::regex_search(json, found, std::regex("\"" + key + R"(": ([-0-9.e]+))"))) return NAN;
  return std::stod(found[1]);
}

// Pixels that are not white in a picture.
int InkedPixels(const QImage& image) {
  int inked = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) inked += image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
  }
  return inked;
}

void NeedsPoppler() {
  bool ok = false;
  Shell("command -v pdffonts pdftotext pdftoppm pdfdetach pdfinfo >/dev/null", &ok);
  if (!ok) GTEST_SKIP() << "poppler-utils are not installed (scripts/setup.sh installs them)";
}

TEST(CliReport, PdfIsOnePageWithEmbeddedFontsExtractableTextAndTheRowsAttached) {
  NeedsPoppler();
  TempDir dir;
  const std::string pdf = dir.File("report.pdf");
  const CliRunResult run = RunCliCaptured(
      {"report", kSample0, pdf, "--channel", "1", "--start", "2000", "--start", "2600", "--operator", "検査 太郎"});
  ASSERT_EQ(run.status, 0) << run.err;

  EXPECT_NE(Shell("pdfinfo " + Quoted(pdf)).find("Pages:           1\n"), std::string::npos);
  const std::string fonts = Shell("pdffonts " + Quoted(pdf));
  std::istringstream lines(fonts);
  std::string line;
  int fontLines = 0;
  for (int n = 0; std::getline(lines, line); ++n) {
    if (n < 2 || line.empty()) continue;  // the table's heading
    ++fontLines;
    EXPECT_NE(line.find(" yes "), std::string::npos) << "not embedded: " << line;
    EXPECT_EQ(line.find("Type 1C"), std::string::npos) << "a CFF font: " << line;
  }
  EXPECT_GE(fontLines, 1) << fonts;

  // The text holds what the client must find: the file, f of each stretch as
  // fit computes it, the interval's heading, the operator and the page.
  const std::string text = Shell("pdftotext -layout " + Quoted(pdf) + " -");
  EXPECT_NE(text.find("sample0.csv"), std::string::npos) << text;
  EXPECT_NE(text.find("95"), std::string::npos);
  EXPECT_NE(text.find("検査 太郎"), std::string::npos);
  // Ideographs whose glyph the font shares with a Kangxi radical come out as
  // the ideograph, so "採用" can be searched for.
  EXPECT_NE(text.find("採用"), std::string::npos) << text;
  EXPECT_EQ(text.find("\u2F64"), std::string::npos);
  EXPECT_TRUE(std::regex_search(text, std::regex("\\b1 */ *1\\b"))) << "the page number";  // layout may drop the blanks
  for (const char* start : {"2000", "2600"}) {
    const CliRunResult fit = RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", start, "--json"});
    ASSERT_EQ(fit.status, 0) << fit.err;
    const double f = JsonNumber(fit.out, "f");
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.3f", f);  // the table shows at least three decimals
    EXPECT_NE(text.find(shown), std::string::npos) << "f = " << shown << " of start " << start << "\n" << text;
  }

  // Rasterised, the page is A4 and carries ink.
  bool ok = false;
  Shell("pdftoppm -png -r 40 -singlefile " + Quoted(pdf) + " " + Quoted(dir.File("page")), &ok);
  ASSERT_TRUE(ok);
  const QImage page(QString::fromStdString(dir.File("page.png")));
  ASSERT_FALSE(page.isNull());
  EXPECT_NEAR(static_cast<double>(page.height()) / page.width(), 297.0 / 210.0, 0.01);
  EXPECT_GT(InkedPixels(page), page.width() * page.height() / 50);

  // The evaluations' rows ride along.
  Shell("pdfdetach -save 1 -o " + Quoted(dir.File("rows.csv")) + " " + Quoted(pdf), &ok);
  ASSERT_TRUE(ok);
  const std::string rows = TempDir::Read(dir.File("rows.csv"));
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 3) << rows;
  EXPECT_NE(rows.find(",2000,"), std::string::npos);
  EXPECT_NE(rows.find(",2600,"), std::string::npos);
}

// --auto's rows name the detection that found their stretches, and an initial
// value given on the command line is the one evaluated from.
TEST(CliReport, AutoRowsCarryTheDetectionAndTheGivenInitialValues) {
  TempDir dir;
  const std::string pdf = dir.File("auto.pdf");
  const CliRunResult run = RunCliCaptured({"report", kSample0, pdf, "--channel", "1", "--auto", "--h0", "0.05"});
  ASSERT_EQ(run.status, 0) << run.err;
  bool ok = false;
  Shell("pdfdetach -save 1 -o " + Quoted(dir.File("rows.csv")) + " " + Quoted(pdf), &ok);
  ASSERT_TRUE(ok);
  const std::string rows = TempDir::Read(dir.File("rows.csv"));
  const std::string row = rows.substr(rows.find('\n') + 1);
  EXPECT_NE(row.find(",0.05,"), std::string::npos) << row;
  EXPECT_NE(row.find(" 検出: 帯域 卓越ピーク×(1±0.3) "), std::string::npos) << row;
  EXPECT_NE(row.find(" 中心1.6"), std::string::npos) << row;
}

TEST(CliReport, PngAndSvgShowTheSamePageAndAutoTakesTheDetectedDecay) {
  TempDir dir;
  const std::string png = dir.File("report.PNG");
  const std::string svg = dir.File("report.svg");
  ASSERT_EQ(RunCliCaptured({"report", kSample0, png, "--channel", "1", "--auto"}).status, 0);
  const CliRunResult run = RunCliCaptured({"report", kSample0, svg, "--channel", "1", "--auto"});
  ASSERT_EQ(run.status, 0) << run.err;
  const QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 1240);  // A4 at 150 dpi
  EXPECT_EQ(image.height(), 1754);
  EXPECT_GT(InkedPixels(image), image.width() * image.height() / 50);
  const std::string text = TempDir::Read(svg);
  EXPECT_NE(text.find("<svg"), std::string::npos);
  EXPECT_NE(text.find("sample0.csv"), std::string::npos);
  // detect's one decay of the sample starts near 2200.
  const CliRunResult detect = RunCliCaptured({"detect", kSample0, "--channel", "1", "--json"});
  const long start = std::lround(JsonNumber(detect.out, "start"));
  EXPECT_NE(text.find(">" + std::to_string(start) + "<"), std::string::npos) << "the table's start " << start;
}

TEST(CliReport, RefusesWhatItCannotWrite) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{"report", kSample0, dir.File("r.doc"), "--channel", "1"}, 2},
      {{"report", kSample0, dir.File("r.pdf")}, 2},                                   // no channel
      {{"report", kSample0, dir.File("r.pdf"), "--channel", "3"}, 2},                 // no such channel
      {{"report", kSample0, dir.File("r.pdf"), "--channel", "1", "--auto", "--start", "5"}, 2},
      {{"report", kSample0, dir.File("r.pdf"), "--channel", "1", "--start", "5990"}, 1},  // past the end
      {{"report", dir.File("missing.csv"), dir.File("r.pdf"), "--channel", "1"}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunCliCaptured(c.args).status, c.status) << c.args[2] << " " << c.args.back();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("r.pdf")));

  // "-" is a PDF on stdout.
  const CliRunResult piped = RunCliCaptured({"report", kSample0, "-", "--channel", "1", "--start", "2000"});
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out.rfind("%PDF-", 0), 0u);
}

TEST(CliReport, MonitoringViewOfResultsFileAndDatabase) {
  NeedsPoppler();
  TempDir dir;
  WriteRecordTree(dir.File("records"), {.Records = 8});
  const std::string results = dir.File("results.csv");
  const std::string db = dir.File("store.sqlite");
  ASSERT_EQ(RunCliCaptured({"batch", dir.File("records"), "--out", results}).status, 0);
  ASSERT_EQ(RunCliCaptured({"merge", results, "--db", db}).status, 0);
  for (const std::string& source : {results, db}) {
    const std::string pdf = dir.File("trend.pdf");
    const CliRunResult run = RunCliCaptured({"report", source, pdf});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = Shell("pdftotext -layout " + Quoted(pdf) + " -");
    EXPECT_NE(text.find(FileNameOf(source)), std::string::npos) << text;
    EXPECT_NE(text.find("1ch S1"), std::string::npos);
    EXPECT_NE(text.find("2026-11-02 01:00:00"), std::string::npos) << "the first accepted record's time\n" << text;
    EXPECT_NE(text.find("2026-11-02 07:00:00"), std::string::npos) << "the last record's time";
    EXPECT_TRUE(std::regex_search(text, std::regex("\\b1 */ *1\\b")));
    // The tree's channels are different structures: no mean over all of them.
    EXPECT_NE(text.find("平均はチャンネルごとに表にあります"), std::string::npos) << text;
    EXPECT_EQ(text.find("件の平均"), std::string::npos);
    bool ok = false;
    Shell("pdfdetach -save 1 -o " + Quoted(dir.File("rows.csv")) + " " + Quoted(pdf), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(TempDir::Read(dir.File("rows.csv")).rfind("file,sha256,channel,", 0), 0u);
  }
}

}  // namespace
