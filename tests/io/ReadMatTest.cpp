// The MATLAB reader: the file written by another program (scipy, committed
// with the lines that made it) and files written here with matio in both
// formats, every numeric class, row vectors, and the files it must refuse.
#include "io/ReadMat.h"

#include <gtest/gtest.h>
#include <matio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

const std::string kScipyFile = std::string(OSCALYX_SOURCE_DIR) + "/tests/io/data/scipy-v5.mat";
// A version 7.3 file whose HDF5 metadata gives a length of almost 2^64 bytes
// (found by the MATLAB reader's fuzzer, from the v7.3 seed it is given).
// A big-endian version 5 file whose array flags claim 192 bytes: matio takes
// the 8 it expects and reads a name 4 GB long from the bytes after them.
const std::string kForgedFlagsFile = std::string(OSCALYX_SOURCE_DIR) + "/tests/io/data/forged-flags-length.mat";
const std::string kForgedHdf5File = std::string(OSCALYX_SOURCE_DIR) + "/tests/io/data/forged-hdf5-size.mat";

ReadOptions AtRate(double rate) {
  ReadOptions options;
  options.Rate = rate;
  return options;
}

// A MATLAB file of the given format with variables of any class, column-major.
class MatWriter {
 public:
  MatWriter(const std::string& path, mat_ft format) : file_(Mat_CreateVer(path.c_str(), nullptr, format)) {}
  ~MatWriter() {
    if (file_ != nullptr) Mat_Close(file_);
  }
  template <typename T>
  void Add(const char* name, matio_classes type, matio_types data, std::size_t rows, std::size_t columns,
           std::vector<T> values, bool complex = false) {
    std::size_t dims[2] = {rows, columns};
    mat_complex_split_t split{values.data(), values.data()};
    matvar_t* variable = Mat_VarCreate(name, type, data, 2, dims, complex ? static_cast<void*>(&split) : values.data(),
                                       complex ? MAT_F_COMPLEX : 0);
    ASSERT_NE(variable, nullptr);
    ASSERT_EQ(Mat_VarWrite(file_, variable, MAT_COMPRESSION_NONE), 0);
    Mat_VarFree(variable);
  }
  bool ok() const { return file_ != nullptr; }

 private:
  mat_t* file_;
};

TEST(ReadMat, TheFileAnotherProgramWroteReadsItsOnlyArray) {
  WaveData record;
  const ReadResult result = ReadMat(kScipyFile, AtRate(200.0), record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(record.SampleCount, 400);
  EXPECT_EQ(record.Rate, 200.0);
  EXPECT_EQ(SlotText(record.Names[0]), "acc(:,1)");
  const double wn = 2 * std::numbers::pi * 3.7;
  for (int i = 0; i < 400; i += 23) {
    const double t = i / 200.0;
    const double decay = std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1 - 0.04 * 0.04) * t + 0.7);
    EXPECT_NEAR(record.Samples[0][static_cast<std::size_t>(i)], decay, 1e-7) << i;
    EXPECT_EQ(record.Samples[1][static_cast<std::size_t>(i)], static_cast<float>(-0.5 * t)) << i;
  }
  std::string error;
  const std::vector<MatVariable> variables = ListMatVariables(kScipyFile, error);
  ASSERT_EQ(variables.size(), 3u) << error;
  EXPECT_EQ(std::count_if(variables.begin(), variables.end(), [](const MatVariable& v) { return v.Readable; }), 1);
}

TEST(ReadMat, BothFormatsEveryClassAndRowVectors) {
  TempDir dir;
  for (const mat_ft format : {MAT_FT_MAT5, MAT_FT_MAT73}) {
    SCOPED_TRACE(format == MAT_FT_MAT5 ? "v5" : "v7.3");
    const std::string path = dir.File(format == MAT_FT_MAT5 ? "v5.mat" : "v73.mat");
    {
      MatWriter file(path, format);
      ASSERT_TRUE(file.ok());
      file.Add<std::int16_t>("counts", MAT_C_INT16, MAT_T_INT16, 3, 2, {-32768, 0, 32767, 7, -7, 1});
      file.Add<float>("row", MAT_C_SINGLE, MAT_T_SINGLE, 1, 4, {0.5f, -1.5f, 2.25f, 3.0f});
      file.Add<double>("scalar", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, {512.0});
    }
    WaveData record;
    ReadOptions options = AtRate(25.6);
    options.Variable = "counts";
    ASSERT_TRUE(ReadMat(path, options, record).ok());
    EXPECT_EQ(record.ChannelCount, 2);
    EXPECT_EQ(record.SampleCount, 3);
    EXPECT_EQ(record.Samples[0], (std::vector<float>{-32768.0f, 0.0f, 32767.0f}));
    EXPECT_EQ(record.Samples[1], (std::vector<float>{7.0f, -7.0f, 1.0f}));
    EXPECT_EQ(record.Rate, 25.6);
    options.Variable = "row";
    options.Names = {"x"};
    options.Unit = "mm";
    ASSERT_TRUE(ReadMat(path, options, record).ok());
    EXPECT_EQ(record.ChannelCount, 1);
    EXPECT_EQ(record.Samples[0], (std::vector<float>{0.5f, -1.5f, 2.25f, 3.0f}));
    EXPECT_EQ(SlotText(record.Names[0]), "x");
    EXPECT_EQ(SlotText(record.Units[0]), "mm");
  }
}

TEST(ReadMat, AmbiguousOrUnsuitableFilesAreRefusedNamingTheVariables) {
  TempDir dir;
  const std::string two = dir.File("two.mat");
  {
    MatWriter file(two, MAT_FT_MAT5);
    file.Add<double>("a", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, 2, {1, 2, 3, 4});
    file.Add<double>("b", MAT_C_DOUBLE, MAT_T_DOUBLE, 3, 1, {1, 2, 3});
    file.Add<double>("z", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, 1, {1, 2}, true);
  }
  const std::string none = dir.File("none.mat");
  {
    MatWriter file(none, MAT_FT_MAT5);
    file.Add<double>("fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, {100.0});
  }
  struct Case {
    std::string path;
    ReadOptions options;
    std::string message;
  };
  ReadOptions complex = AtRate(10);
  complex.Variable = "z";
  ReadOptions missing = AtRate(10);
  missing.Variable = "c";
  const std::vector<Case> cases = {
      {two, AtRate(10), "実数の2次元の数値配列が複数あります。読み込む変数を --variable で選んでください：a (2×2, double)、b (3×1, double)。"},
      {two, complex, "変数「z」は実数の2次元の数値配列ではありません（z (2×1, double complex)）。"},
      {two, missing, "変数「c」がありません"},
      {none, AtRate(10), "実数の2次元の数値配列がありません（このファイルの変数：fs (1×1, double)）。"},
      {two, {}, "サンプリング周波数の指定（--rate）が必要です"},
      {dir.Write("text.mat", "not a MATLAB file, only text that goes on for a while......"), AtRate(10),
       "MATLABファイルとして読め"},
      {dir.Write("empty.mat", ""), AtRate(10), "MATLABファイルとして読め"},
  };
  for (const Case& c : cases) {
    WaveData record;
    record.Rate = 7;
    const ReadResult result = ReadMat(c.path, c.options, record);
    EXPECT_EQ(result.status, ReadStatus::Refused) << c.message;
    EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    EXPECT_EQ(record.Rate, 7);
  }
  WaveData record;
  EXPECT_EQ(ReadMat(dir.File("absent.mat"), AtRate(10), record).status, ReadStatus::CannotOpen);
}

TEST(ReadMat, MoreThanEightColumnsLoadEightWithAWarning) {
  TempDir dir;
  const std::string path = dir.File("wide.mat");
  {
    MatWriter file(path, MAT_FT_MAT5);
    std::vector<double> values(3 * 10);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i);
    file.Add<double>("wide", MAT_C_DOUBLE, MAT_T_DOUBLE, 3, 10, values);
  }
  WaveData record;
  const ReadResult result = ReadMat(path, AtRate(100), record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 8);
  EXPECT_EQ(record.Samples[7], (std::vector<float>{21.0f, 22.0f, 23.0f}));
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_EQ(result.warnings[0].find(ChannelsLeftOutWarning(10)), 0u);
  EXPECT_NE(result.warnings[0].find("転置"), std::string::npos);
}

}  // namespace

namespace {

// Damaged files are refused before matio reads them: lengths that point past
// their element, or dimensions that claim more values than the file holds
// (matio would allocate by them).
TEST(ReadMat, DamagedVersion5FilesAreRefusedBeforeMatioReadsThem) {
  TempDir dir;
  const std::string path = dir.File("good.mat");
  {
    MatWriter file(path, MAT_FT_MAT5);
    file.Add<double>("data", MAT_C_DOUBLE, MAT_T_DOUBLE, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  }
  const std::string good = TempDir::Read(path);
  auto patched = [&good](std::size_t at, std::uint32_t value) {
    std::string bytes = good;
    std::memcpy(bytes.data() + at, &value, 4);
    return bytes;
  };
  // The first element's length (bytes 132..135), the first dimension (the
  // dimensions element's data starts 8 + 16 + 8 bytes into the matrix).
  const std::vector<std::string> damaged = {
      patched(132, 0x7FFFFFF0u),
      patched(128 + 8 + 16 + 8, 0x40000000u),
      patched(128 + 8 + 16 + 8, 0xFFFFFFF0u),
      good.substr(0, good.size() - 9),
  };
  for (const std::string& bytes : damaged) {
    WaveData record;
    const ReadResult result = ReadMat(dir.Write("bad.mat", bytes), AtRate(10), record);
    EXPECT_EQ(result.status, ReadStatus::Refused);
    EXPECT_EQ(result.message, "MATLABファイルが壊れています（データの長さがファイルと合いません）。");
  }
  {
    WaveData record;
    const ReadResult result = ReadMat(kForgedFlagsFile, AtRate(10), record);
    EXPECT_EQ(result.status, ReadStatus::Refused);
    EXPECT_EQ(result.message, "MATLABファイルが壊れています（データの長さがファイルと合いません）。");
  }
  WaveData record;
  EXPECT_TRUE(ReadMat(dir.Write("good-again.mat", good), AtRate(10), record).ok());
}

// HDF5 asks for the forged length before it checks it against the file's end;
// the allocation fails and the read is refused. The library is still usable
// for the next file.
TEST(ReadMat, AForgedVersion73FileIsRefusedAndTheNextOneReads) {
  WaveData record;
  const ReadResult forged = ReadMat(kForgedHdf5File, AtRate(10), record);
  EXPECT_EQ(forged.status, ReadStatus::Refused);
  EXPECT_EQ(forged.message.rfind("MATLABファイルとして読めないか、変数が一つもありません", 0), 0u) << forged.message;
  EXPECT_EQ(forged.message.find('\n'), std::string::npos) << "the library's trace, on one line";
  EXPECT_EQ(record.ChannelCount, 0);

  TempDir dir;
  const std::string path = dir.File("good73.mat");
  {
    MatWriter file(path, MAT_FT_MAT73);
    file.Add<double>("data", MAT_C_DOUBLE, MAT_T_DOUBLE, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  }
  const ReadResult good = ReadMat(path, AtRate(10), record);
  ASSERT_TRUE(good.ok()) << good.message;
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(record.Samples[1][3], 8.0f);
}

}  // namespace
