// The one loaded waveform record. Texts live in fixed NUL-terminated slots and
// keep the bytes the file gave them (Shift-JIS or UTF-8); samples are single
// precision, one array per channel.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which reader produced (or will re-read) the record: the standard CSV file,
// the SPC-51 file, and the formats of other instruments (plain text columns,
// WAV, universal file format data set 58, MATLAB).
enum class FileKind { Csv, Spc51, Text, Wav, Uff, Mat };

constexpr int kMaxChannels = 8;
constexpr std::size_t kNameSlot = 32;      // 31 bytes and the terminating NUL
constexpr std::size_t kUnitSlot = 20;
constexpr std::size_t kFileNameSlot = 52;

template <std::size_t N>
using TextSlot = std::array<char, N>;

struct WaveData {
  FileKind SourceKind = FileKind::Csv;
  std::string Path;  // whole, however long: the file is read again from it
  TextSlot<kFileNameSlot> FileName{};
  std::int32_t ChannelCount = 0;
  std::int32_t SampleCount = 0;
  double Rate = 0.0;  // samples per second; usually whole, but 25.6 and 0.5 are real rates
  float Dt = 0.0f;
  std::array<TextSlot<kNameSlot>, kMaxChannels> Names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> Units{};
  std::array<std::vector<float>, kMaxChannels> Samples;
  std::array<std::vector<std::int16_t>, kMaxChannels> RawCounts;
  std::array<float, kMaxChannels> Scales{};
  // Line 3 of a standard CSV file this program writes: what made the record
  // (a random-decrement signature's settings). The readers keep no memo, so
  // it is empty for every record read; empty, the line holds MEMO1, MEMO2, ….
  std::string Memo;
};

// The text of a slot, up to its first NUL.
template <std::size_t N>
std::string_view SlotText(const TextSlot<N>& slot) {
  std::size_t n = 0;
  while (n < N && slot[n] != '\0') ++n;
  return {slot.data(), n};
}

// Copies text into a slot, cut to the slot's N - 1 bytes. A cut never splits a
// character: text that is valid UTF-8 is cut at a code-point boundary, other
// text at a Shift-JIS character boundary. Returns true when the text was cut.
bool CopyToSlot(std::string_view text, char* slot, std::size_t slotSize);

template <std::size_t N>
bool CopyToSlot(std::string_view text, TextSlot<N>& slot) {
  return CopyToSlot(text, slot.data(), N);
}

// How many leading bytes of text may stay when it must fit in maxBytes without
// splitting a character (see CopyToSlot).
std::size_t CharSafePrefix(std::string_view text, std::size_t maxBytes);

bool IsValidUtf8(std::string_view text);

// Name and extension of a path, without its folders ("/data/sample0.csv" gives
// "sample0.csv").
std::string FileNameOf(std::string_view path);

// The folder of a path, without its last separator ("/data/sample0.csv" gives
// "/data", "/sample0.csv" gives "/", a bare name gives "").
std::string FolderOf(std::string_view path);

// A file name without its extension ("sample0.csv" gives "sample0"; a name
// whose only dot leads it, ".csv", is kept whole).
std::string StemOf(std::string_view fileName);

// The reader a file's name suggests, by its extension in any letter case:
// ".dbl" SPC-51; ".wav" WAV; ".uff" and ".unv" universal file format; ".mat"
// MATLAB; ".txt", ".asc", ".dat" and ".tsv" plain text columns; anything else
// the standard CSV reader.
FileKind KindFromExtension(std::string_view path);

// The short name of a kind as the command line spells it ("csv", "dbl",
// "text", "wav", "uff", "mat"), and back; nothing for an unknown name.
std::string_view FileKindName(FileKind kind);
std::optional<FileKind> FileKindFromName(std::string_view name);

// Sets Path and FileName for a file the user chose; only the stored file name
// is cut to its slot. A path holding a NUL byte names no file and is refused
// (false).
bool SetRecordPath(WaveData& record, std::string_view path);
