#include "io/WriteCsv.h"

#include <cerrno>
#include <cstring>

#include "io/NumberText.h"

namespace {
constexpr char kLineEnd[] = "\r\n";
}

WriteResult WriteCsvTo(std::FILE* out, const WaveData& record) {
  const int channels = record.ChannelCount;
  std::string text;
  for (int k = 0; k < channels; ++k) {
    if (k > 0) text += ',';
    text += SlotText(record.Names[k]);
  }
  text += kLineEnd;
  text += std::to_string(record.Rate) + ",s" + kLineEnd;
  text += "MEMO1";
  for (int k = 2; k <= channels; ++k) text += ",MEMO" + std::to_string(k);
  text += kLineEnd;
  for (int k = 0; k < channels; ++k) {
    if (k > 0) text += ',';
    text += SlotText(record.Units[k]);
  }
  text += kLineEnd;

  constexpr std::size_t kFlushAt = 1 << 20;
  bool ok = true;
  for (int i = 0; i < record.SampleCount && ok; ++i) {
    for (int k = 0; k < channels; ++k) {
      if (k > 0) text += ',';
      AppendFixed(text, record.Samples[k][static_cast<std::size_t>(i)], 6);
    }
    text += kLineEnd;
    if (text.size() >= kFlushAt) {
      ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
      text.clear();
    }
  }
  if (ok && !text.empty()) ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (ok) ok = std::fflush(out) == 0;
  if (!ok) return {false, std::string("CSVファイルを書き込めませんでした: ") + std::strerror(errno)};
  return {};
}

WriteResult WriteCsv(const std::string& path, const WaveData& record) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return {false, std::string("CSVファイルを作成できません: ") + std::strerror(errno)};
  WriteResult result = WriteCsvTo(out, record);
  if (std::fclose(out) != 0 && result.ok) {
    result = {false, std::string("CSVファイルを書き込めませんでした: ") + std::strerror(errno)};
  }
  return result;
}

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (path.find('.', nameStart) != std::string::npos) return path;
  return path + extension;
}
