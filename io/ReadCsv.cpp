#include "io/ReadCsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>
#include <thread>

#include "components/MyStr.h"
#include "io/FileHandle.h"
#include "io/LineReader.h"
#include "io/NumberText.h"
#include "io/ProgressTicker.h"

namespace {

constexpr int kHeaderLines = 4;

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

namespace {

// Files below this size are read by one thread: a second costs more than it saves.
constexpr unsigned long long kSplitAtBytes = 256 * 1024;
// How far past the middle of the file the second half's first line may start.
constexpr std::size_t kSplitSearchBytes = 64 * 1024;
// Lines between two looks at the cancel flag and reports of progress.
constexpr int kLinesPerCheck = 4096;
// The share of the whole read that the first pass, counting lines, takes.
constexpr double kCountShare = 0.1;

// Where the second half of the file starts: just after the first line feed at
// or beyond the middle, which begins a line whatever came before it. 0 (no
// second half) for a small file or one without a line feed near the middle.
unsigned long long SecondHalfStart(int fd, unsigned long long size) {
  if (size < kSplitAtBytes) return 0;
  const unsigned long long middle = size / 2;
  std::vector<char> look(kSplitSearchBytes);
  const ssize_t got = ::pread(fd, look.data(), look.size(), static_cast<off_t>(middle));
  if (got <= 0) return 0;
  const auto* lf = static_cast<const char*>(std::memchr(look.data(), '\n', static_cast<std::size_t>(got)));
  if (lf == nullptr) return 0;
  const unsigned long long start = middle + static_cast<unsigned long long>(lf - look.data()) + 1;
  return start < size ? start : 0;
}

// The progress of a read in two halves: each half counts the bytes it has
// passed, only the calling thread's half reports, and both stop at their next
// check once the caller has asked.
class TwoHalves {
 public:
  TwoHalves(const Progress* progress, unsigned long long size) : ticker_(progress), progress_(progress), size_(size) {}

  // Starts a pass: its share of the whole read and the share done before it.
  void StartPass(double before, double share) {
    before_ = before;
    share_ = share;
    secondBytes_ = 0;
  }
  // Called by a half every kLinesPerCheck lines with the bytes it has passed
  // in this pass; false when it is to stop.
  bool Check(bool first, unsigned long long bytes) {
    if (progress_ != nullptr && progress_->Cancelled()) cancelled_ = true;
    if (first) {
      const double done = static_cast<double>(bytes + secondBytes_.load(std::memory_order_relaxed));
      ticker_.At(before_ + share_ * done / static_cast<double>(size_));
    } else {
      secondBytes_.store(bytes, std::memory_order_relaxed);
    }
    return !cancelled_.load(std::memory_order_relaxed);
  }
  bool Cancelled() const { return cancelled_.load(); }
  void Done() { ticker_.Done(); }

 private:
  ProgressTicker ticker_;
  const Progress* progress_;
  unsigned long long size_;
  double before_ = 0.0;
  double share_ = 1.0;
  std::atomic<unsigned long long> secondBytes_{0};
  std::atomic<bool> cancelled_{false};
};

struct LineCount {
  long long lines = 0;
  bool notText = false;
  bool failed = false;
};

// Counts the lines `reader` hands out. The first line of the file (in the
// first half) must be a line of a text file.
LineCount CountLines(LineReader& reader, TwoHalves& halves, bool first) {
  const unsigned long long from = reader.Offset();
  std::string_view line;
  LineCount count;
  while (reader.Next(line)) {
    if (count.lines == 0 && first && !IsTextLine(line)) {
      count.notText = true;
      return count;
    }
    if (++count.lines % kLinesPerCheck == 0 && !halves.Check(first, reader.Offset() - from)) return count;
  }
  count.failed = reader.Failed();
  return count;
}

}  // namespace

ReadResult ReadCsv(const std::string& path, WaveData& record, const Progress* progress) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may never
  // come; it has no effect on regular files, the only kind read here.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return CannotOpen();
  const auto size = static_cast<unsigned long long>(info.st_size);

  // Both passes go through the file in two halves at once on a large file:
  // the second half starts at a line, so each half counts and converts its
  // lines on its own.
  const unsigned long long secondStart = SecondHalfStart(file.get(), size);
  const unsigned long long firstEnd = secondStart != 0 ? secondStart : LineReader::kToTheEnd;
  TwoHalves halves(progress, size);
  LineReader reader(file.get(), 0, firstEnd);
  std::optional<LineReader> secondReader;
  if (secondStart != 0) secondReader.emplace(file.get(), secondStart, size);

  // First pass: count the lines.
  halves.StartPass(0.0, kCountShare);
  LineCount firstCount;
  LineCount secondCount;
  {
    std::jthread second;
    if (secondReader) second = std::jthread([&] { secondCount = CountLines(*secondReader, halves, false); });
    firstCount = CountLines(reader, halves, true);
  }
  if (halves.Cancelled()) return ReadCancelled();
  if (firstCount.notText) return Refused(kNotTextMessage);
  if (firstCount.failed || secondCount.failed) return Refused("ファイルを最後まで読めませんでした");
  const long long lineCount = firstCount.lines + secondCount.lines;
  if (lineCount < kHeaderLines) {
    return Refused("CSVファイルの行数が足りません（見出しの4行が必要です）");
  }
  if (lineCount - kHeaderLines > INT_MAX) return Refused("データの行数が多すぎます");
  const int allocated = static_cast<int>(lineCount - kHeaderLines);

  reader.Restart();
  std::string_view line;
  CsvRecord fresh;
  CellArray cells;

  // Line 1: the channel names, taken exactly; a UTF-8 byte-order mark is
  // not part of the first name.
  reader.Next(line);
  if (line.starts_with(kUtf8Bom)) line.remove_prefix(kUtf8Bom.size());
  fresh.channelCount = std::min(SplitNameLine(line, cells), kMaxChannels);
  if (fresh.channelCount < 1) return Refused("1行目にチャンネル名がありません");
  for (int k = 0; k < fresh.channelCount; ++k) CopyToSlot(cells[k].View(), fresh.names[k]);

  // Line 2: the sampling rate in its first cell.
  reader.Next(line);
  SplitLine(line, cells);
  const long long rate = ParseInteger(cells[0].View());
  if (rate <= 0 || rate > INT_MAX) {
    return Refused("サンプリング周波数（2行目）が正しくありません。1以上の整数が必要です");
  }
  fresh.rate = static_cast<int>(rate);

  // Line 3: the memo, dropped. Line 4: the units.
  reader.Next(line);
  reader.Next(line);
  SplitLine(line, cells);
  for (int k = 0; k < fresh.channelCount; ++k) CopyToSlot(cells[k].View(), fresh.units[k]);

  const unsigned long long bytes =
      static_cast<unsigned long long>(allocated) * static_cast<unsigned long long>(fresh.channelCount) * sizeof(float);
  if (!FitsInMemory(bytes)) return Refused("データが大きすぎて、このコンピュータのメモリに読み込めません");
  // Fresh memory comes in page by page as it is first written, which on some
  // systems costs as much as converting the lines: the two halves of the
  // channels are allocated at once on a large file.
  auto allocate = [&fresh, allocated](int from, int to) {
    for (int k = from; k < to; ++k) fresh.samples[k].assign(static_cast<std::size_t>(allocated), 0.0f);
  };
  if (secondStart != 0 && fresh.channelCount > 1) {
    const int middle = fresh.channelCount / 2;
    std::exception_ptr failure;
    {
      std::jthread second([&] {
        try {
          allocate(middle, fresh.channelCount);
        } catch (...) {
          failure = std::current_exception();
        }
      });
      allocate(0, middle);
    }
    if (failure) std::rethrow_exception(failure);
  } else {
    allocate(0, fresh.channelCount);
  }

  // Second pass: one row per line. A short line keeps, for its missing
  // channels, the cells the previous split left in the shared array; on data
  // lines the array holds the cells' values, starting from the header's cells.
  float values[kMaxCells];
  for (int k = 0; k < kMaxCells; ++k) values[k] = static_cast<float>(ParseDecimal(cells[k].View()));
  const int channels = fresh.channelCount;
  halves.StartPass(kCountShare, 1.0 - kCountShare);
  auto convert = [&fresh, &halves, channels](LineReader& lines, int firstRow, int endRow, float* carried,
                                              int* firstSet, bool first) {
    const unsigned long long start = lines.Offset();
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
      if ((row - firstRow) % kLinesPerCheck == 0 && !halves.Check(first, lines.Offset() - start)) break;
    }
    return row;
  };

  // The second half's first row follows the first half's lines (at least 64:
  // the half is 128 KB or more and a line at most 1999 characters). Its rows
  // before a channel's first cell carry the first half's last value, filled
  // in after.
  int row = 0;
  if (secondReader) {
    const int half = static_cast<int>(firstCount.lines - kHeaderLines);
    secondReader->Restart();
    float secondValues[kMaxCells] = {};
    int firstSet[kMaxCells];
    std::fill(std::begin(firstSet), std::end(firstSet), allocated);
    int secondEnd = half;
    {
      std::jthread second(
          [&] { secondEnd = convert(*secondReader, half, allocated, secondValues, firstSet, false); });
      row = convert(reader, 0, half, values, nullptr, true);
    }
    if (halves.Cancelled()) return ReadCancelled();
    if (secondReader->Failed()) return Refused("ファイルを最後まで読めませんでした");
    if (row == half) {
      for (int k = 0; k < channels; ++k) {
        std::fill(fresh.samples[k].begin() + half, fresh.samples[k].begin() + std::min(firstSet[k], secondEnd),
                  values[k]);
      }
      row = secondEnd;
    }
  } else {
    row = convert(reader, 0, allocated, values, nullptr, true);
    if (halves.Cancelled()) return ReadCancelled();
  }
  if (reader.Failed()) return Refused("ファイルを最後まで読めませんでした");
  // A stop asked for after the last report is still in time.
  if (progress != nullptr && progress->Cancelled()) return ReadCancelled();
  fresh.sampleCount = row;

  record.ChannelCount = fresh.channelCount;
  record.SampleCount = fresh.sampleCount;
  record.Rate = fresh.rate;
  record.Names = fresh.names;
  record.Units = fresh.units;
  for (int k = 0; k < fresh.channelCount; ++k) {
    fresh.samples[k].resize(static_cast<std::size_t>(fresh.sampleCount));
    record.Samples[k] = std::move(fresh.samples[k]);
  }
  halves.Done();

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = fresh.sampleCount;
  return result;
}
