#include "io/ReadCsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>

#include "components/MyStr.h"
#include "io/LineReader.h"
#include "io/NumberText.h"

namespace {

constexpr int kHeaderLines = 4;

class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

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
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return CannotOpen();

  LineReader reader(file.get());
  std::string_view line;

  // First pass: count the lines.
  long long lineCount = 0;
  while (reader.Next(line)) ++lineCount;
  if (reader.Failed()) return Refused("ファイルを最後まで読めませんでした");
  if (lineCount < kHeaderLines) {
    return Refused("CSVファイルの行数が足りません（見出しの4行が必要です）");
  }
  if (lineCount - kHeaderLines > INT_MAX) return Refused("データの行数が多すぎます");
  const int allocated = static_cast<int>(lineCount - kHeaderLines);

  if (!reader.Rewind()) return Refused("ファイルを読み直せませんでした");
  CsvRecord fresh;
  CellArray cells;

  // Line 1: the channel names, taken exactly.
  reader.Next(line);
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
  for (int k = 0; k < fresh.channelCount; ++k) fresh.samples[k].assign(static_cast<std::size_t>(allocated), 0.0f);

  // Second pass: one row per line. A short line keeps, for its missing
  // channels, the cells the previous split left in the shared array.
  int row = 0;
  while (row < allocated && reader.Next(line)) {
    SplitLine(line, cells);
    for (int k = 0; k < fresh.channelCount; ++k) {
      fresh.samples[k][static_cast<std::size_t>(row)] = static_cast<float>(ParseDecimal(cells[k].View()));
    }
    ++row;
  }
  if (reader.Failed()) return Refused("ファイルを最後まで読めませんでした");
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

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = fresh.sampleCount;
  return result;
}
