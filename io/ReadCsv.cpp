#include "io/ReadCsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <thread>

#include "components/MyStr.h"
#include "io/FileHandle.h"
#include "io/LineReader.h"
#include "io/NumberText.h"

namespace {

constexpr int kHeaderLines = 4;
// Records of at least this many data lines are converted by two threads.
constexpr int kSplitAtRows = 20000;
constexpr long long kHalfStride = 1024;  // the first pass notes every 1024th line's offset

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kNotTextMessage[] =
    "標準CSV形式のテキストファイルではありません（UTF-16で保存されたファイルか、テキストでないファイルです）。";

// A first line in UTF-16 (with its byte-order mark, FF FE or FE FF) or holding
// NUL bytes is no line of a text file in the format: read on, such a file would
// be refused for its rate, which says nothing of the real cause.
bool IsTextLine(std::string_view line) {
  if (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF")) return false;
  return line.find('\0') == std::string_view::npos;
}

// Everything a successful read puts into the record.
struct CsvRecord {
  int channelCount = 0;
  int sampleCount = 0;
  int rate = 0;
  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  std::array<std::vector<float>, kMaxChannels> samples;
};

}  // namespace

int SplitLineValues(std::string_view line, float* values, int wanted) {
  const char* p = line.data();
  const char* const end = p + line.size();
  int count = 0;
  while (p < end && count < wanted) {
    const char c = *p;
    if (c == '\0') break;
    if (c == ' ' || c == '\t' || c == '\n') {
      ++p;
      continue;
    }
    if (c == ',') {  // an empty cell
      values[count++] = 0.0f;
      ++p;
      continue;
    }
    // The common cell, a plain decimal that ends where the cell ends, is
    // converted while it is scanned (see ParseDecimal for why this is exact).
    const char* q = p;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    for (; q < end && static_cast<unsigned>(*q - '0') < 10; ++q, ++digits) mantissa = mantissa * 10 + (*q - '0');
    if (q < end && *q == '.') {
      for (++q; q < end && static_cast<unsigned>(*q - '0') < 10; ++q, ++digits, ++fraction) {
        mantissa = mantissa * 10 + (*q - '0');
      }
    }
    const char* cellEnd = q;
    if (digits > 0 && digits <= kMaxExactDigits && (q == end || *q == ',' || *q == '\n' || *q == '\0')) {
      const double value = static_cast<double>(mantissa) / kExactPowersOfTen[fraction];
      values[count++] = static_cast<float>(negative ? -value : value);
    } else {
      while (cellEnd < end && *cellEnd != ',' && *cellEnd != '\n' && *cellEnd != '\0') ++cellEnd;
      const std::size_t length = std::min(static_cast<std::size_t>(cellEnd - p), kMaxCellLength);
      values[count++] = static_cast<float>(ParseDecimal(std::string_view(p, length)));
    }
    if (cellEnd == end || *cellEnd == '\0') break;
    p = cellEnd + 1;
  }
  return count;
}

std::string FileTimeLabel(long long modificationTime) {
  const std::time_t time = static_cast<std::time_t>(modificationTime);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec & ~1);
  return text;
}

ReadResult ReadCsv(const std::string& path, WaveData& record) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may never
  // come; it has no effect on regular files, the only kind read here.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return CannotOpen();

  LineReader reader(file.get());
  std::string_view line;

  // First pass: count the lines, noting where the second half of the data
  // lines starts so that the second pass can convert both halves at once.
  long long lineCount = 0;
  std::vector<unsigned long long> lineStarts;  // file offset of every kHalfStride-th line
  while (true) {
    if (lineCount % kHalfStride == 0) lineStarts.push_back(reader.Offset());
    if (!reader.Next(line)) break;
    if (lineCount == 0 && !IsTextLine(line)) return Refused(kNotTextMessage);
    ++lineCount;
  }
  if (reader.Failed()) return Refused("ファイルを最後まで読めませんでした。");
  if (lineCount < kHeaderLines) {
    return Refused("CSVファイルの行数が足りません（見出しの4行が必要です）。");
  }
  if (lineCount - kHeaderLines > INT_MAX) return Refused("データの行数が多すぎます。");
  const int allocated = static_cast<int>(lineCount - kHeaderLines);

  reader.Rewind();
  CsvRecord fresh;
  CellArray cells;

  // Line 1: the channel names, taken exactly; a UTF-8 byte-order mark is
  // not part of the first name.
  reader.Next(line);
  if (line.starts_with(kUtf8Bom)) line.remove_prefix(kUtf8Bom.size());
  fresh.channelCount = std::min(SplitNameLine(line, cells), kMaxChannels);
  if (fresh.channelCount < 1) return Refused("1行目にチャンネル名がありません。");
  for (int k = 0; k < fresh.channelCount; ++k) CopyToSlot(cells[k].View(), fresh.names[k]);

  // Line 2: the sampling rate in its first cell.
  reader.Next(line);
  SplitLine(line, cells);
  const long long rate = ParseInteger(cells[0].View());
  if (rate <= 0 || rate > INT_MAX) {
    return Refused("サンプリング周波数（2行目）が正しくありません。1以上の整数が必要です。");
  }
  fresh.rate = static_cast<int>(rate);

  // Line 3: the memo, dropped. Line 4: the units.
  reader.Next(line);
  reader.Next(line);
  SplitLine(line, cells);
  for (int k = 0; k < fresh.channelCount; ++k) CopyToSlot(cells[k].View(), fresh.units[k]);

  const unsigned long long bytes =
      static_cast<unsigned long long>(allocated) * static_cast<unsigned long long>(fresh.channelCount) * sizeof(float);
  if (!FitsInMemory(bytes)) return Refused("データが大きすぎて、このコンピュータのメモリに読み込めません。");
  for (int k = 0; k < fresh.channelCount; ++k) fresh.samples[k].assign(static_cast<std::size_t>(allocated), 0.0f);

  // Second pass: one row per line. A short line keeps, for its missing
  // channels, the cells the previous split left in the shared array; on data
  // lines the array holds the cells' values, starting from the header's cells.
  float values[kMaxCells];
  for (int k = 0; k < kMaxCells; ++k) values[k] = static_cast<float>(ParseDecimal(cells[k].View()));
  const int channels = fresh.channelCount;
  auto convert = [&fresh, channels](LineReader& lines, int firstRow, int endRow, float* carried, int* firstSet) {
    std::string_view text;
    int row = firstRow;
    while (row < endRow && lines.Next(text)) {
      const int found = SplitLineValues(text, carried, channels);
      for (int k = 0; k < channels; ++k) fresh.samples[k][static_cast<std::size_t>(row)] = carried[k];
      if (firstSet != nullptr) {
        for (int k = 0; k < found; ++k) {
          if (firstSet[k] == endRow) firstSet[k] = row;
        }
      }
      ++row;
    }
    return row;
  };

  // The second half starts at a line noted by the first pass. Its rows before
  // a channel's first cell carry the first half's last value, filled in after.
  const long long halfLine = (kHeaderLines + allocated / 2) / kHalfStride * kHalfStride;
  const bool split = allocated >= kSplitAtRows && halfLine > kHeaderLines;
  const int half = split ? static_cast<int>(halfLine - kHeaderLines) : allocated;
  int row = 0;
  if (split) {
    LineReader secondReader(file.get(), lineStarts[static_cast<std::size_t>(halfLine / kHalfStride)]);
    float secondValues[kMaxCells] = {};
    int firstSet[kMaxCells];
    std::fill(std::begin(firstSet), std::end(firstSet), allocated);
    int secondEnd = half;
    std::thread second([&] { secondEnd = convert(secondReader, half, allocated, secondValues, firstSet); });
    row = convert(reader, 0, half, values, nullptr);
    second.join();
    if (secondReader.Failed()) return Refused("ファイルを最後まで読めませんでした。");
    if (row == half) {
      for (int k = 0; k < channels; ++k) {
        std::fill(fresh.samples[k].begin() + half, fresh.samples[k].begin() + std::min(firstSet[k], secondEnd),
                  values[k]);
      }
      row = secondEnd;
    }
  } else {
    row = convert(reader, 0, allocated, values, nullptr);
  }
  if (reader.Failed()) return Refused("ファイルを最後まで読めませんでした。");
  fresh.sampleCount = row;

  record.ChannelCount = fresh.channelCount;
  record.SampleCount = fresh.sampleCount;
  record.Rate = fresh.rate;
  record.Dt = static_cast<float>(1.0 / fresh.rate);
  record.Names = fresh.names;
  record.Units = fresh.units;
  for (int k = 0; k < fresh.channelCount; ++k) {
    fresh.samples[k].resize(static_cast<std::size_t>(fresh.sampleCount));
    record.Samples[k] = std::move(fresh.samples[k]);
  }

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = fresh.sampleCount;
  return result;
}
