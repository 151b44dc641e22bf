#include "io/ResultsFile.h"

#include <cerrno>
#include <cstring>

#include "io/NumberText.h"

namespace {
constexpr double kOneOverTwoPi = 0.15915494309189535;
constexpr double kTwoPi = 6.283185307179586;
}  // namespace

std::string ResultsFilePath(const std::string& startupFolder) {
  return startupFolder + "/" + kResultsFileName;
}

std::string ResultsHeaderLine() {
  return "filename,channel,comment,A,\x83\xD6n,f,T,h,\x83\xB3,Ratio\r\n";
}

std::string FormatResultRow(std::string_view fileName, int channelNumber, std::string_view channelName, float a,
                            float omega, float h, float phi, float ratio) {
  std::string row;
  row.reserve(128);
  row.append(fileName);
  row += ',';
  row += std::to_string(channelNumber);
  row += "ch,";
  row.append(channelName);
  row += ',';
  AppendFixed(row, a, 3);
  row += ',';
  AppendFixed(row, omega, 3);
  row += ',';
  AppendFixed(row, omega * kOneOverTwoPi, 3);
  row += ',';
  AppendFixed(row, kTwoPi / omega, 3);
  row += ',';
  AppendFixed(row, h, 4);
  row += ',';
  AppendFixed(row, phi, 3);
  row += ',';
  AppendFixed(row, ratio, 3);
  row += "\r\n";
  return row;
}

bool ResultsFile::Create(const std::string& path) {
  Close();
  errorText_.clear();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    errorText_ = std::strerror(errno);
    return false;
  }
  if (!Append(ResultsHeaderLine())) {
    Close();
    return false;
  }
  return true;
}

bool ResultsFile::Append(std::string_view row) {
  if (file_ == nullptr) return false;
  if (std::fwrite(row.data(), 1, row.size(), file_) != row.size() || std::fflush(file_) != 0) {
    errorText_ = std::strerror(errno);
    return false;
  }
  return true;
}

void ResultsFile::Close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}
