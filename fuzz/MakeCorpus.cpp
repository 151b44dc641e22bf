// Writes the fuzzers' seed inputs into FOLDER/csv, FOLDER/dbl and FOLDER/cli.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/WaveData.h"
#include "io/WriteCsv.h"
#include "tests/support/Spc51Builder.h"

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

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  const std::filesystem::path root(argv[1]);
  for (const char* sub : {"csv", "dbl", "cli"}) std::filesystem::create_directories(root / sub);
  Write(root / "csv" / "one.csv", Csv(1, 20));
  Write(root / "csv" / "three.csv", Csv(3, 40));
  Write(root / "csv" / "eight.csv", Csv(8, 10));
  Write(root / "csv" / "short-lines.csv", "A,B\r\n100,s\r\nm\r\nu\r\n1,2\r\n3\r\n\r\n-1.25e-1 ,abc\r\n");
  Write(root / "csv" / "odd.csv", " A , B ,,C\n1000.5,s\n\"memo\"\n\tu,\n.5,5.,1e,+2E3\n");
  Write(root / "dbl" / "one.dbl", Dbl(1, 50, "gal"));
  Write(root / "dbl" / "three.dbl", Dbl(3, 30, "kine"));
  Write(root / "dbl" / "eight.dbl", Dbl(8, 5, "g"));
  const std::vector<std::vector<std::string>> lines = {
      {"info", "a.csv"},
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
