#include "io/WaveData.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsShiftJisLead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) length = 2;
  else if (c >= 0xE0 && c <= 0xEF) length = 3;
  else if (c >= 0xF0 && c <= 0xF4) length = 4;
  else return 0;
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  }
  const auto c1 = static_cast<unsigned char>(text[i + 1]);
  if (c == 0xE0 && c1 < 0xA0) return 0;                  // overlong
  if (c == 0xED && c1 > 0x9F) return 0;                  // surrogates
  if (c == 0xF0 && c1 < 0x90) return 0;                  // overlong
  if (c == 0xF4 && c1 > 0x8F) return 0;                  // beyond U+10FFFF
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::size_t CharSafePrefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t kept = 0;
  if (IsValidUtf8(text)) {
    while (kept < text.size()) {
      const std::size_t length = Utf8SequenceLength(text, kept);
      if (kept + length > maxBytes) break;
      kept += length;
    }
    return kept;
  }
  while (kept < text.size()) {
    const std::size_t length =
        IsShiftJisLead(static_cast<unsigned char>(text[kept])) && kept + 1 < text.size() ? 2 : 1;
    if (kept + length > maxBytes) break;
    kept += length;
  }
  return kept;
}

bool CopyToSlot(std::string_view text, char* slot, std::size_t slotSize) {
  // The slot holds text only up to the first NUL, whatever follows it.
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  const std::size_t kept = CharSafePrefix(text, slotSize - 1);
  std::memcpy(slot, text.data(), kept);
  std::memset(slot + kept, 0, slotSize - kept);
  return kept < text.size();
}

std::string FileNameOf(std::string_view path) {
  const std::size_t cut = path.rfind('/');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string FolderOf(std::string_view path) {
  const std::size_t cut = path.rfind('/');
  if (cut == std::string_view::npos) return {};
  return std::string(cut == 0 ? path.substr(0, 1) : path.substr(0, cut));
}

std::string StemOf(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  return std::string(dot == std::string_view::npos || dot == 0 ? fileName : fileName.substr(0, dot));
}

FileKind KindFromExtension(std::string_view path) {
  struct Extension {
    std::string_view text;
    FileKind kind;
  };
  static constexpr Extension kExtensions[] = {
      {".dbl", FileKind::Spc51}, {".wav", FileKind::Wav},  {".uff", FileKind::Uff},  {".unv", FileKind::Uff},
      {".mat", FileKind::Mat},   {".txt", FileKind::Text}, {".asc", FileKind::Text}, {".dat", FileKind::Text},
      {".tsv", FileKind::Text},
  };
  const std::string_view name = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return FileKind::Csv;
  std::string extension(name.substr(dot));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Extension& known : kExtensions) {
    if (extension == known.text) return known.kind;
  }
  return FileKind::Csv;
}

namespace {

constexpr std::string_view kKindNames[] = {"csv", "dbl", "text", "wav", "uff", "mat"};

}  // namespace

std::string_view FileKindName(FileKind kind) { return kKindNames[static_cast<int>(kind)]; }

std::optional<FileKind> FileKindFromName(std::string_view name) {
  for (std::size_t k = 0; k < std::size(kKindNames); ++k) {
    if (name == kKindNames[k]) return static_cast<FileKind>(k);
  }
  return std::nullopt;
}

bool SetRecordPath(WaveData& record, std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return false;
  record.Path = path;
  CopyToSlot(FileNameOf(path), record.FileName);
  return true;
}
