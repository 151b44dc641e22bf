// The results file "減衰特性.csv": one row per evaluation, in Shift-JIS with
// CR LF line ends. It is created anew (with its header) at every load and each
// row is flushed to disk as soon as it is written, so that no evaluation is
// lost however the program ends.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The file name in the file system's encoding (UTF-8).
inline constexpr char kResultsFileName[] = "減衰特性.csv";

// "<folder>/減衰特性.csv", formed once from the folder current at start-up.
std::string ResultsFilePath(const std::string& startupFolder);

// The header line in Shift-JIS bytes: ω is 0x83 0xD6, Φ is 0x83 0xB3.
std::string ResultsHeaderLine();

// One row, "%s,%dch,%s,%.3f,%.3f,%.3f,%.3f,%.4f,%.3f,%.3f" and CR LF, with
// f = ωn / 2π and T = 2π / ωn computed from ωn. File name and channel name are
// copied byte for byte; nothing is quoted.
std::string FormatResultRow(std::string_view fileName, int channelNumber, std::string_view channelName, float a,
                            float omega, float h, float phi, float ratio);

class ResultsFile {
 public:
  ResultsFile() = default;
  ~ResultsFile() { Close(); }
  ResultsFile(const ResultsFile&) = delete;
  ResultsFile& operator=(const ResultsFile&) = delete;

  // Closes the open file, creates `path` empty and writes the header.
  // False (with errorText()) when it cannot be created; the object is then closed.
  bool Create(const std::string& path);
  // Appends a row and flushes it; false when the file is not open or the write failed.
  bool Append(std::string_view row);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& errorText() const { return errorText_; }

 private:
  std::FILE* file_ = nullptr;
  std::string errorText_;
};
