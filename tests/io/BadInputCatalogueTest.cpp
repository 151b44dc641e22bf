// Malformed and hostile inputs to both readers, each with the one outcome it
// must have: refused with the reader's exact message, not openable, or read as
// a stated record. Every reading goes into a record that holds a loaded file;
// after a refusal that record must be exactly as it was and still evaluate to
// the same fit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/DampedFit.h"
#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/TempDir.h"

// Reader outcomes by name in failure messages.
static void PrintTo(ReadStatus status, std::ostream* os) {
  *os << (status == ReadStatus::Ok ? "Ok" : status == ReadStatus::Refused ? "Refused" : "CannotOpen");
}

namespace {

using namespace std::string_literals;

const std::string kTooFewLines = "CSVファイルの行数が足りません（見出しの4行が必要です）。";
const std::string kBadRate = "サンプリング周波数（2行目）が正しくありません。0.000001 から 2147483647 までの数が必要です。";
const std::string kNotText =
    "標準CSV形式のテキストファイルではありません（UTF-16で保存されたファイルか、テキストでないファイルです）。";
const std::string kShortHeader = "SPC-51形式のファイルではないようです（512バイトのヘッダがありません）。";
const std::string kShortChannelInfo = "SPC-51ファイルのチャンネル情報が不完全です。";

std::string ChannelCountMessage(int count) {
  return "SPC-51形式のファイルではないようです（ヘッダのチャンネル数 " + std::to_string(count) +
         " は 1～8 のどれでもありません）。";
}

// A damped oscillation of 3.7 Hz with damping ratio 0.04 and phase 0.7.
double Damped(double amplitude, double t) {
  const double wn = 2.0 * std::numbers::pi * 3.7;
  const double h = 0.04;
  return amplitude * std::exp(-h * wn * t) * std::cos(wn * std::sqrt(1.0 - h * h) * t + 0.7);
}

// What the window keeps of a load beyond the readers' fields.
void SetLoadFields(WaveData& record, const std::string& path, FileKind kind) {
  record.SourceKind = kind;
  ASSERT_TRUE(SetRecordPath(record, path));
  record.Dt = static_cast<float>(1.0 / record.Rate);
}

// Every field of the record, arrays compared element by element.
void ExpectSameRecord(const WaveData& actual, const WaveData& expected, const std::string& what) {
  EXPECT_EQ(actual.SourceKind, expected.SourceKind) << what;
  EXPECT_EQ(actual.Path, expected.Path) << what;
  EXPECT_EQ(actual.FileName, expected.FileName) << what;
  EXPECT_EQ(actual.ChannelCount, expected.ChannelCount) << what;
  EXPECT_EQ(actual.SampleCount, expected.SampleCount) << what;
  EXPECT_EQ(actual.Rate, expected.Rate) << what;
  EXPECT_EQ(actual.Dt, expected.Dt) << what;
  EXPECT_EQ(actual.Names, expected.Names) << what;
  EXPECT_EQ(actual.Units, expected.Units) << what;
  EXPECT_EQ(actual.Samples, expected.Samples) << what;
  EXPECT_EQ(actual.RawCounts, expected.RawCounts) << what;
  EXPECT_EQ(actual.Scales, expected.Scales) << what;
}

// The evaluation the window would make of the record's first channel.
FitEvaluation Fit(const WaveData& record) {
  return EvaluateStretch(record.Samples[0], record.Rate, record.Dt, 0, 4.0f, 3.5, 0.03);
}

void ExpectSameFit(const FitEvaluation& actual, const FitEvaluation& expected, const std::string& what) {
  ASSERT_TRUE(actual.Ok()) << what << ": " << actual.Failure->Message;
  EXPECT_EQ(actual.Result.A, expected.Result.A) << what;
  EXPECT_EQ(actual.Result.Wn, expected.Result.Wn) << what;
  EXPECT_EQ(actual.Result.H, expected.Result.H) << what;
  EXPECT_EQ(actual.Result.Phi, expected.Result.Phi) << what;
  EXPECT_EQ(actual.Result.Ratio, expected.Result.Ratio) << what;
  EXPECT_EQ(actual.Result.Passes, expected.Result.Passes) << what;
}

std::string Name(const WaveData& record, int k) { return std::string(SlotText(record.Names[k])); }
std::string Unit(const WaveData& record, int k) { return std::string(SlotText(record.Units[k])); }

// Samples of channel k as a plain list.
std::vector<float> Channel(const WaveData& record, int k) { return record.Samples[k]; }

// Caps the memory the readers may take, so that the refusal of a huge sample
// count does not depend on the machine; lifted again at the end of the test.
class MemoryCap {
 public:
  explicit MemoryCap(unsigned long long bytes) { SetSampleMemoryCap(bytes); }
  ~MemoryCap() { SetSampleMemoryCap(0); }
};

Spc51Builder ThreeChannelSpc() {
  Spc51Builder file;
  file.sampleCount = 2;
  file.channelCount = 3;
  file.rate = 200;
  file.channels = {{"GL-1F", "gal", 0.001f}, {"V-2F", "kine", 0.001f}, {"X", "gal", 0.5f}};
  file.frames = {10, 20, 30, 40, 50, 60};
  return file;
}

std::string Bytes(const Spc51Builder& file) {
  const std::vector<unsigned char> bytes = file.Bytes();
  return std::string(bytes.begin(), bytes.end());
}

std::string TruncatedSpc(std::size_t size) {
  std::string bytes = Bytes(ThreeChannelSpc());
  bytes.resize(size);
  return bytes;
}

struct BadInput {
  std::string what;
  FileKind kind;
  // Makes the input in the scratch folder and returns the path to read.
  std::function<std::string(const TempDir&)> make;
  ReadStatus status;
  std::string message;  // the refusal's exact text
  // For inputs that are read: the record they must give.
  std::function<void(const WaveData&, const ReadResult&)> readAs;
};

std::function<std::string(const TempDir&)> Text(std::string bytes, std::string name = "bad.csv") {
  return [bytes = std::move(bytes), name = std::move(name)](const TempDir& dir) { return dir.Write(name, bytes); };
}

std::function<std::string(const TempDir&)> Spc(const std::function<void(Spc51Builder&)>& change) {
  Spc51Builder file = ThreeChannelSpc();
  change(file);
  return Text(Bytes(file), "bad.dbl");
}

BadInput Refusal(std::string what, FileKind kind, std::function<std::string(const TempDir&)> make,
                 std::string message) {
  return {std::move(what), kind, std::move(make), ReadStatus::Refused, std::move(message), nullptr};
}

BadInput Unopenable(std::string what, FileKind kind, std::function<std::string(const TempDir&)> make) {
  return {std::move(what), kind, std::move(make), ReadStatus::CannotOpen, kCannotOpenMessage, nullptr};
}

BadInput ReadAs(std::string what, FileKind kind, std::function<std::string(const TempDir&)> make,
                std::function<void(const WaveData&, const ReadResult&)> check) {
  return {std::move(what), kind, std::move(make), ReadStatus::Ok, "", std::move(check)};
}

// Whether file permissions keep this process from reading (not so for root,
// whose reads pass any permission bits).
bool PermissionsStopReads(const TempDir& dir) {
  const std::string probe = dir.Write("probe", "x");
  ::chmod(probe.c_str(), 0);
  const int fd = ::open(probe.c_str(), O_RDONLY);
  if (fd >= 0) ::close(fd);
  ::unlink(probe.c_str());
  return fd < 0;
}

std::vector<BadInput> Catalogue(bool permissionsStopReads) {
  const FileKind csv = FileKind::Csv;
  const FileKind dbl = FileKind::Spc51;
  std::vector<BadInput> table;

  // --- Line structure of the standard CSV file -----------------------------
  table.push_back(Refusal("empty file", csv, Text(""), kTooFewLines));
  table.push_back(Refusal("only a line feed", csv, Text("\n"), kTooFewLines));
  table.push_back(Refusal("three lines", csv, Text("A\n100\nm\n"), kTooFewLines));
  table.push_back(Refusal("no line ends at all", csv, Text("A,B,100,s,memo,u,v,1,2"), kTooFewLines));
  table.push_back(Refusal("carriage returns only", csv, Text("A\r100\rm\ru\r1\r2\r"), kTooFewLines));
  // 8000 bytes without a line end are read as five lines of at most 1999
  // characters; the second begins at an odd offset, on a comma.
  {
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "1,";
    table.push_back(Refusal("8000 bytes without line ends", csv, Text(text), kBadRate));
  }
  table.push_back(ReadAs("fourth line without its line feed", csv, Text("A\n100\nm\nu"),
                         [](const WaveData& r, const ReadResult& result) {
                           EXPECT_EQ(r.ChannelCount, 1);
                           EXPECT_EQ(r.SampleCount, 0);
                           EXPECT_EQ(result.sliderMax, 0);
                           EXPECT_EQ(Unit(r, 0), "u");
                           EXPECT_TRUE(r.Samples[0].empty());
                         }));
  table.push_back(ReadAs("empty name line", csv, Text("\n100\nm\nu\n4.5\n"), [](const WaveData& r, const ReadResult&) {
    EXPECT_EQ(r.ChannelCount, 1);
    EXPECT_EQ(Name(r, 0), "");
    EXPECT_EQ(Channel(r, 0), std::vector<float>{4.5f});
  }));

  // --- Not a text file in the format: UTF-16, NUL bytes in the first line -----
  table.push_back(Refusal("UTF-16 little-endian with its mark", csv,
                          Text("\xFF\xFE" "A\0\n\0" "1\0" "0\0" "0\0\n\0m\0\n\0u\0\n\0" "7\0\n\0"s), kNotText));
  table.push_back(Refusal("UTF-16 big-endian with its mark", csv,
                          Text("\xFE\xFF\0" "A\0\n\0" "1\0" "0\0" "0\0\n\0m\0\n\0u\0\n\0" "7\n"s), kNotText));
  table.push_back(Refusal("NUL inside a name", csv, Text("Pa\0b,Q\n100\nm\nu,v\n1,2\n"s), kNotText));
  // A binary file whose first line holds no NUL (a PNG starts "\x89PNG\r\n"):
  // read on, it would be refused for its rate.
  std::string picture = "\x89PNG\r\n\x1A\n"s;
  for (int i = 0; picture.size() < 600; ++i) picture += static_cast<char>((i * 37 + 11) % 256);
  table.push_back(Refusal("binary data after a clean first line", csv, Text(picture, "picture.png"), kNotText));
  table.push_back(ReadAs("UTF-8 mark before the first name", csv, Text("\xEF\xBB\xBF測点,Q\n100\nm\nu,v\n1,2\n"),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(r.ChannelCount, 2);
                           EXPECT_EQ(Name(r, 0), "測点");
                           EXPECT_EQ(Channel(r, 1), std::vector<float>{2.0f});
                         }));

  // --- NUL bytes after the first line: a NUL ends the text of its line --------
  table.push_back(ReadAs("NUL inside a data cell", csv, Text("A,B\n100\nm\nu,v\n1.5,2.5\n3\0.75,4\n"s),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(Channel(r, 0), (std::vector<float>{1.5f, 3.0f}));
                           EXPECT_EQ(Channel(r, 1), (std::vector<float>{2.5f, 2.5f}));
                         }));
  table.push_back(ReadAs("NUL inside the rate", csv, Text("A\n2\0" "50\nm\nu\n7\n"s),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(r.Rate, 2);
                           EXPECT_EQ(Channel(r, 0), std::vector<float>{7.0f});
                         }));

  // --- Long lines and many cells --------------------------------------------
  // 10 MiB of "9," on one line: pieces of 1999 characters, alternately
  // starting on a 9 and on a comma (an empty cell, read as 0).
  {
    std::string line;
    line.reserve(10u << 20);
    while (line.size() < (10u << 20)) line += "9,";
    table.push_back(ReadAs("10 MB single line", csv, Text("A,B\n100\nm\nu,v\n" + line + "\n"),
                           [](const WaveData& r, const ReadResult&) {
                             const int pieces = (10 << 20) / 1999 + 1;
                             ASSERT_EQ(r.SampleCount, pieces);
                             for (int i = 0; i < pieces; ++i) {
                               ASSERT_EQ(r.Samples[0][i], i % 2 == 0 ? 9.0f : 0.0f) << "row " << i;
                               ASSERT_EQ(r.Samples[1][i], 9.0f) << "row " << i;
                             }
                           }));
  }
  {
    std::string names;
    for (int i = 0; i < 9999; ++i) names += "c,";
    table.push_back(Refusal("10 000 cells on the name line", csv, Text(names + "c\n100\nm\nu\n1\n"), kBadRate));
  }
  {
    std::string data;
    for (int i = 0; i < 10000; ++i) data += "5,";
    // 20 000 characters: ten full pieces and one of 10, eleven rows.
    table.push_back(ReadAs("10 000 cells on a data line", csv, Text("A,B\n100\nm\nu,v\n" + data + "\n"),
                           [](const WaveData& r, const ReadResult&) {
                             ASSERT_EQ(r.SampleCount, 11);
                             for (int i = 0; i < 11; ++i) {
                               EXPECT_EQ(r.Samples[0][i], i % 2 == 0 ? 5.0f : 0.0f) << "row " << i;
                               EXPECT_EQ(r.Samples[1][i], 5.0f) << "row " << i;
                             }
                           }));
  }
  // A cell of 5000 characters: its first piece reads as -12.5, the next two
  // are cells without a number (0), and the last piece also holds ",4".
  table.push_back(ReadAs("cell of 5000 characters", csv,
                         Text("A,B\n100\nm\nu,v\n1,2\n-12.5" + std::string(4995, 'e') + ",4\n"),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(Channel(r, 0), (std::vector<float>{1.0f, -12.5f, 0.0f, 0.0f}));
                           EXPECT_EQ(Channel(r, 1), (std::vector<float>{2.0f, 2.0f, 2.0f, 4.0f}));
                         }));

  // --- Shift-JIS in names: bytes are kept; a cut never ends on a lead byte --
  table.push_back(ReadAs("invalid Shift-JIS in names", csv,
                         Text(std::string(30, 'a') + "\x83\x20xyz,\xFF\xFE\xFD\n100\nm\nu,v\n1,2\n"),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(r.ChannelCount, 2);
                           EXPECT_EQ(Name(r, 0), std::string(30, 'a'));
                           EXPECT_EQ(Name(r, 1), "\xFF\xFE\xFD");
                         }));
  table.push_back(ReadAs("truncated Shift-JIS in names", csv, Text("AB\x83,C\x82\n100\nm\nu,v\n1,2\n"),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(r.ChannelCount, 2);
                           EXPECT_EQ(Name(r, 0), "AB\x83");
                           EXPECT_EQ(Name(r, 1), "C\x82");
                           EXPECT_EQ(Channel(r, 1), std::vector<float>{2.0f});
                         }));

  // --- The rate on line 2 ---------------------------------------------------
  for (const char* rate : {"0", "-5", "abc", "99999999999", "1e-7", "nan", "inf"}) {
    table.push_back(Refusal("rate " + std::string(rate), csv, Text("A\n" + std::string(rate) + ",s\nm\nu\n1\n"),
                            kBadRate));
  }

  // --- SPC-51 file sizes ----------------------------------------------------
  table.push_back(Refusal("SPC-51 of 0 bytes", dbl, Text(TruncatedSpc(0), "bad.dbl"), kShortHeader));
  table.push_back(Refusal("a CSV file chosen as SPC-51", dbl,
                          Text("A,B\n100\nm\nu,v\n" + std::string(600, '1') + ",2\n", "data.dbl"),
                          "SPC-51形式のファイルではありません（テキストファイルです）。標準CSVのファイルなら、"
                          "ファイルの種類で「標準CSV(*.csv)」を選んでください。"));
  table.push_back(Refusal("SPC-51 of 511 bytes", dbl, Text(TruncatedSpc(511), "bad.dbl"), kShortHeader));
  table.push_back(Refusal("SPC-51 of 512 bytes", dbl, Text(TruncatedSpc(512), "bad.dbl"), kShortChannelInfo));
  table.push_back(Refusal("SPC-51 of 600 bytes", dbl, Text(TruncatedSpc(600), "bad.dbl"), kShortChannelInfo));
  table.push_back(ReadAs("SPC-51 headers without frames", dbl, Text(TruncatedSpc(512 + 3 * 96), "bad.dbl"),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(r.SampleCount, 2);
                           EXPECT_EQ(Channel(r, 2), (std::vector<float>{0.0f, 0.0f}));
                           EXPECT_EQ(r.RawCounts[0], (std::vector<std::int16_t>{0, 0}));
                         }));

  // --- SPC-51 header values -------------------------------------------------
  for (const int count : {0, 9, -1, 32767}) {
    table.push_back(Refusal("SPC-51 channel count " + std::to_string(count), dbl,
                            Spc([count](Spc51Builder& f) { f.channelCount = static_cast<std::int16_t>(count); }),
                            ChannelCountMessage(count)));
  }
  table.push_back(Refusal("SPC-51 sample count -1", dbl, Spc([](Spc51Builder& f) { f.sampleCount = -1; }),
                          "SPC-51形式のファイルではないようです（ヘッダのデータ数 -1 が負です）。"));
  table.push_back(ReadAs("SPC-51 sample count 0", dbl, Spc([](Spc51Builder& f) { f.sampleCount = 0; }),
                         [](const WaveData& r, const ReadResult& result) {
                           EXPECT_EQ(r.ChannelCount, 3);
                           EXPECT_EQ(r.SampleCount, 0);
                           EXPECT_EQ(result.sliderMax, 0);
                           for (int k = 0; k < 3; ++k) EXPECT_TRUE(r.Samples[k].empty());
                         }));
  table.push_back(Refusal("SPC-51 sample count 2^31 - 1", dbl,
                          Spc([](Spc51Builder& f) { f.sampleCount = std::numeric_limits<std::int32_t>::max(); }),
                          "データ数 2147483647 が大きすぎて、このコンピュータのメモリに読み込めません。"));
  table.push_back(Refusal("SPC-51 rate 0", dbl, Spc([](Spc51Builder& f) { f.rate = 0; }),
                          "SPC-51形式のファイルではないようです（ヘッダのサンプリング周波数 0 が正ではありません）。"));
  table.push_back(Refusal("SPC-51 rate -100", dbl, Spc([](Spc51Builder& f) { f.rate = -100; }),
                          "SPC-51形式のファイルではないようです（ヘッダのサンプリング周波数 -100 が正ではありません）。"));
  table.push_back(Refusal("SPC-51 NaN calibration", dbl,
                          Spc([](Spc51Builder& f) { f.channels[2].calibration = std::numeric_limits<float>::quiet_NaN(); }),
                          "SPC-51ファイルのチャンネル3の校正係数が数値ではありません。"));
  table.push_back(Refusal("SPC-51 infinite calibration", dbl,
                          Spc([](Spc51Builder& f) { f.channels[0].calibration = -std::numeric_limits<float>::infinity(); }),
                          "SPC-51ファイルのチャンネル1の校正係数が数値ではありません。"));
  // Finite, but a thousand times it is not: counts of 0 would read as NaN.
  table.push_back(Refusal("SPC-51 calibration 1e36 in kine", dbl,
                          Spc([](Spc51Builder& f) { f.channels[1].calibration = 1e36f; }),
                          "SPC-51ファイルのチャンネル2の校正係数が大きすぎます。"));
  table.push_back(ReadAs("SPC-51 calibration 1e36 in gal", dbl,
                         Spc([](Spc51Builder& f) { f.channels[0].calibration = 1e36f; }),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(r.Scales[0], 1e36f);
                           EXPECT_EQ(Channel(r, 0), (std::vector<float>{10 * 1e36f, 40 * 1e36f}));
                         }));
  table.push_back(ReadAs("SPC-51 invalid and truncated Shift-JIS in names", dbl, Spc([](Spc51Builder& f) {
                           f.channels[0].name = std::string(32, '\x81');  // sixteen two-byte characters
                           f.channels[1].name = "\xFF\xFE";
                           f.channels[2].name = "P\x83";  // a lead byte and then the padding
                         }),
                         [](const WaveData& r, const ReadResult&) {
                           EXPECT_EQ(Name(r, 0), std::string(30, '\x81'));
                           EXPECT_EQ(Name(r, 1), "\xFF\xFE");
                           EXPECT_EQ(Name(r, 2), "P\x83");
                         }));

  // --- What is not a readable file ------------------------------------------
  for (const FileKind kind : {csv, dbl}) {
    const std::string reader = kind == csv ? "CSV: " : "SPC-51: ";
    table.push_back(Unopenable(reader + "missing file", kind, [](const TempDir& dir) { return dir.File("none"); }));
    table.push_back(Unopenable(reader + "a directory", kind, [](const TempDir& dir) {
      ::mkdir(dir.File("folder.csv").c_str(), 0755);
      return dir.File("folder.csv");
    }));
    // Opening a pipe must not wait for a writer.
    table.push_back(Unopenable(reader + "a named pipe", kind, [](const TempDir& dir) {
      ::mkfifo(dir.File("pipe").c_str(), 0644);
      return dir.File("pipe");
    }));
  }
  const auto locked = [](const TempDir& dir) {
    const std::string path = dir.Write("locked.csv", "Locked\n50,s\nm\nV\n1.5\n-2.5\n");
    ::chmod(path.c_str(), 0);
    return path;
  };
  if (permissionsStopReads) {
    table.push_back(Unopenable("file without read permission", csv, locked));
  } else {
    table.push_back(ReadAs("file without read permission, read by a privileged user", csv, locked,
                           [](const WaveData& r, const ReadResult&) {
                             EXPECT_EQ(Name(r, 0), "Locked");
                             EXPECT_EQ(r.Rate, 50);
                             EXPECT_EQ(Channel(r, 0), (std::vector<float>{1.5f, -2.5f}));
                           }));
  }
  return table;
}

// Runs a read. A named pipe gets a writer after two seconds, so that a reader
// that waits for one fails the test instead of hanging it.
ReadResult ReadGuarded(const std::string& path, const std::function<ReadResult()>& read) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISFIFO(info.st_mode)) return read();
  std::atomic<bool> done{false};
  bool unblocked = false;
  std::thread watchdog([&] {
    for (int i = 0; i < 200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done) return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      unblocked = true;
      ::close(fd);
    }
  });
  const ReadResult result = read();
  done = true;
  watchdog.join();
  EXPECT_FALSE(unblocked) << "the reader waited for a writer to open the pipe";
  return result;
}

class BadInputCatalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    // The loaded records: a two-channel CSV and a two-channel SPC-51 file,
    // both holding a decay the fit can follow.
    std::string text = "Decay,Ramp\n100,s\nmemo\ncm/s2,V\n";
    for (int i = 0; i < 800; ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "%.6f,%d.25\n", Damped(2.5, i / 100.0), i - 400);
      text += line;
    }
    const std::string csvPath = dir.Write("loaded.csv", text);
    ASSERT_TRUE(ReadCsv(csvPath, loadedCsv).ok());
    SetLoadFields(loadedCsv, csvPath, FileKind::Csv);

    Spc51Builder file;
    file.sampleCount = 1200;
    file.channelCount = 2;
    file.rate = 200;
    file.channels = {{"GL-1F", "gal", 0.0025f}, {"V-2F", "kine", 0.001f}};
    for (int i = 0; i < 1200; ++i) {
      file.frames.push_back(static_cast<std::int16_t>(std::lround(Damped(12000.0, i / 200.0))));
      file.frames.push_back(static_cast<std::int16_t>(i - 600));
    }
    const std::string spcPath = dir.Write("loaded.dbl", file.Bytes());
    ASSERT_TRUE(ReadSpc51(spcPath, loadedSpc).ok());
    SetLoadFields(loadedSpc, spcPath, FileKind::Spc51);

    csvFit = Fit(loadedCsv);
    spcFit = Fit(loadedSpc);
    ASSERT_TRUE(csvFit.Ok());
    ASSERT_TRUE(spcFit.Ok());
    // The fit follows the decay, so a damaged record would show in it.
    EXPECT_NEAR(csvFit.Result.Wn * kHzPerRadian, 3.7, 0.01);
    EXPECT_NEAR(spcFit.Result.H, 0.04, 0.002);
  }

  TempDir dir;
  WaveData loadedCsv;
  WaveData loadedSpc;
  FitEvaluation csvFit;
  FitEvaluation spcFit;
};

TEST_F(BadInputCatalogue, EveryInputHasItsOutcomeAndALoadedRecordSurvivesEveryRefusal) {
  const MemoryCap cap(1ULL << 30);
  const bool permissionsStopReads = PermissionsStopReads(dir);
  if (!permissionsStopReads) {
    std::printf("[   NOTE   ] running with privileges that read any file: the file without read permission "
                "is expected to be read\n");
  }
  const std::vector<BadInput> table = Catalogue(permissionsStopReads);
  ASSERT_GE(table.size(), 25u);

  for (const BadInput& input : table) {
    SCOPED_TRACE(input.what);
    const bool csv = input.kind == FileKind::Csv;
    const WaveData& loaded = csv ? loadedCsv : loadedSpc;
    WaveData record = loaded;
    const std::string path = input.make(dir);
    const ReadResult result = ReadGuarded(path, [&] { return csv ? ReadCsv(path, record) : ReadSpc51(path, record); });

    EXPECT_EQ(result.status, input.status) << result.message;
    if (result.status != input.status) continue;
    switch (input.status) {
      case ReadStatus::Refused:
        EXPECT_EQ(result.message, input.message);
        EXPECT_EQ(result.title, "読み込みエラー");
        break;
      case ReadStatus::CannotOpen:
        EXPECT_EQ(result.message, "ファイルが開けません");
        EXPECT_EQ(result.title, "ファイルオープンエラー");
        break;
      case ReadStatus::Ok:
        input.readAs(record, result);
        // The readers fill the file's fields and the sampling interval; what
        // the window sets stays.
        EXPECT_EQ(record.Path, loaded.Path);
        EXPECT_EQ(record.SourceKind, loaded.SourceKind);
        EXPECT_EQ(record.Dt, static_cast<float>(1.0 / record.Rate));
        for (int k = 0; k < record.ChannelCount; ++k) {
          EXPECT_EQ(record.Samples[k].size(), static_cast<std::size_t>(record.SampleCount)) << "channel " << k;
        }
        break;
      case ReadStatus::Cancelled:
        ADD_FAILURE() << "nothing asked the reader to stop";
        break;
    }
    if (input.status == ReadStatus::Ok) continue;

    // Refused or not openable: the record is as loaded and still evaluates.
    ExpectSameRecord(record, loaded, input.what);
    EXPECT_EQ(record.Samples[0][137], loaded.Samples[0][137]);
    ExpectSameFit(Fit(record), csv ? csvFit : spcFit, input.what);
  }
}

}  // namespace
