// Writes the fuzzers' seed inputs into FOLDER/csv, FOLDER/dbl, FOLDER/text,
// FOLDER/wav, FOLDER/uff, FOLDER/mat and FOLDER/cli.
#include <matio.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/WaveData.h"
#include "io/WriteCsv.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/UffBuilder.h"
#include "tests/support/WavBuilder.h"

namespace {

void Write(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Csv(int channels, int rows) {
  WaveData record;
  record.ChannelCount = channels;
  record.SampleCount = rows;
  record.Rate = 100;
  for (int k = 0; k < channels; ++k) {
    CopyToSlot("P" + std::to_string(k + 1), record.Names[k]);
    CopyToSlot("gal", record.Units[k]);
    for (int i = 0; i < rows; ++i) record.Samples[k].push_back(static_cast<float>((i * 37 + k * 11) % 200) / 7.0f - 14.0f);
  }
  const std::string path = std::filesystem::temp_directory_path() / "oscalyx-corpus.csv";
  WriteCsv(path, record);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Dbl(int channels, int frames, const char* unit) {
  Spc51Builder file;
  file.sampleCount = frames;
  file.channelCount = static_cast<std::int16_t>(channels);
  for (int k = 0; k < channels; ++k) file.channels.push_back({"CH" + std::to_string(k), unit, 0.01f});
  for (int i = 0; i < frames * channels; ++i) file.frames.push_back(static_cast<std::int16_t>(i * 97));
  const auto bytes = file.Bytes();
  return std::string(bytes.begin(), bytes.end());
}

std::string Wav(int channels, int bits, bool floating) {
  WavBuilder file;
  file.channels = channels;
  file.bits = bits;
  file.floating = floating;
  file.rate = 512;
  file.extraChunk = channels > 1;
  const double fullScale = floating ? 1.0 : bits == 8 ? 100.0 : 1000.0;
  for (int i = 0; i < 40; ++i) {
    std::vector<double> frame;
    for (int k = 0; k < channels; ++k) frame.push_back(std::round(fullScale * ((i * 7 + k * 3) % 19 - 9) / 9.0));
    file.frames.push_back(frame);
  }
  return file.Bytes();
}

std::string Uff(bool binary, bool bigEndian, int ordinateType) {
  std::string text = UffOther(151);
  for (int k = 0; k < 2; ++k) {
    UffDataSet set;
    set.name = "Point " + std::to_string(k + 1);
    set.binary = binary;
    set.bigEndian = bigEndian;
    set.ordinateType = ordinateType;
    set.increment = 1.0 / 51.2;
    for (int i = 0; i < 20; ++i) set.values.push_back(((i * 5 + k) % 11 - 5) / 3.0);
    text += UffText(set);
  }
  return text;
}

// A MATLAB file of the given format with a few variables, read back as bytes.
std::string Mat(mat_ft format, bool twoArrays) {
  const std::string path = std::filesystem::temp_directory_path() / "oscalyx-corpus.mat";
  std::filesystem::remove(path);
  mat_t* file = Mat_CreateVer(path.c_str(), nullptr, format);
  if (file == nullptr) return {};
  auto add = [file](const char* name, std::size_t rows, std::size_t columns) {
    std::vector<double> values(rows * columns);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i % 13) - 6.5;
    std::size_t dims[2] = {rows, columns};
    matvar_t* variable = Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, values.data(), 0);
    Mat_VarWrite(file, variable, MAT_COMPRESSION_NONE);
    Mat_VarFree(variable);
  };
  add("data", 30, 3);
  add("fs", 1, 1);
  if (twoArrays) add("other", 1, 20);
  Mat_Close(file);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  const std::filesystem::path root(argv[1]);
  for (const char* sub : {"csv", "dbl", "text", "wav", "uff", "mat", "cli"}) {
    std::filesystem::create_directories(root / sub);
  }
  Write(root / "csv" / "one.csv", Csv(1, 20));
  Write(root / "csv" / "three.csv", Csv(3, 40));
  Write(root / "csv" / "eight.csv", Csv(8, 10));
  Write(root / "csv" / "short-lines.csv", "A,B\r\n100,s\r\nm\r\nu\r\n1,2\r\n3\r\n\r\n-1.25e-1 ,abc\r\n");
  Write(root / "csv" / "odd.csv", " A , B ,,C\n1000.5,s\n\"memo\"\n\tu,\n.5,5.,1e,+2E3\n");
  Write(root / "dbl" / "one.dbl", Dbl(1, 50, "gal"));
  Write(root / "dbl" / "three.dbl", Dbl(3, 30, "kine"));
  Write(root / "dbl" / "eight.dbl", Dbl(8, 5, "g"));
  Write(root / "csv" / "semicolon.csv", "A;B\r\n25,6;s\r\nm\r\nu;v\r\n1,7641;-2\r\n;3,5\r\n");
  Write(root / "csv" / "nine.csv", "1,2,3,4,5,6,7,8,9\n12.8,s\nm\nu\n1,2,3,4,5,6,7,8,9\n-0.00615,1.49373,-1.37069\n");
  // The text seeds start with the byte that chooses the read options (see
  // FuzzTextReader): 0 a rate, 1 the first column as time, 0x49 time and ','.
  Write(root / "text" / "tabs.txt", std::string(1, '\x01') + "Logger\nTime\tA\tB\n0.000\t1.5\t-2\n0.002\t1.75\t3e-2\n0.004\t2\t4\n");
  Write(root / "text" / "blanks.txt", std::string(1, '\x00') + "  1.5  2.5\n  -3  4.25\n 5 6\n\n 7 8\n");
  Write(root / "text" / "comma.txt", std::string(1, '\x49') + "t;x\n0,0;1,5\n0,5;-2,25\n1,0;3\n");
  Write(root / "text" / "csv.txt", std::string(1, '\x00') + "\"a\", \"b\"\r\n1.5, 2\r\n3,4,\r\n");
  Write(root / "wav" / "pcm16.wav", Wav(2, 16, false));
  Write(root / "wav" / "pcm8.wav", Wav(1, 8, false));
  Write(root / "wav" / "pcm24.wav", Wav(3, 24, false));
  Write(root / "wav" / "float.wav", Wav(2, 32, true));
  Write(root / "uff" / "ascii.uff", Uff(false, false, 2));
  Write(root / "uff" / "double.uff", Uff(false, false, 4));
  Write(root / "uff" / "binary.uff", Uff(true, false, 2));
  Write(root / "uff" / "big.uff", Uff(true, true, 4));
  Write(root / "mat" / "v5.mat", Mat(MAT_FT_MAT5, false));
  Write(root / "mat" / "v5-two.mat", Mat(MAT_FT_MAT5, true));
  Write(root / "mat" / "v73.mat", Mat(MAT_FT_MAT73, false));
  Write(root / "mat" / "scipy-v5.mat", FileBytes(OSCALYX_SOURCE_DIR "/tests/io/data/scipy-v5.mat"));
  const std::vector<std::vector<std::string>> lines = {
      {"info", "a.csv"},
      {"info", "a.txt", "--time-column", "1", "--delimiter", "tab", "--decimal", ",", "--skip", "2"},
      {"fit", "a.mat", "--channel", "2", "--rate", "25.6", "--variable", "data", "--names", "x,y", "--unit", "gal"},
      {"plot", "a.wav", "o.png", "--scale", "980.665", "--type", "wav"},
      {"convert", "a.dbl", "-", "--type", "dbl"},
      {"fit", "a.csv", "--channel", "1", "--start", "2000", "--width", "5", "--f0", "2.0", "--h0", "0.03", "--json"},
      {"plot", "a.csv", "o.png", "--channels", "1,2", "--white", "--fit", "--bandpass", "2", "0.1"},
      {"--help"},
  };
  int n = 0;
  for (const auto& args : lines) {
    std::string bytes;
    for (std::size_t i = 0; i < args.size(); ++i) bytes += (i ? std::string(1, '\0') : std::string()) + args[i];
    Write(root / "cli" / ("args" + std::to_string(n++)), bytes);
  }
  return 0;
}
