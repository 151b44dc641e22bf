#include "io/ReadCsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <thread>

#include "io/CellNumbers.h"
#include "io/MyStr.h"
#include "io/FileHandle.h"
#include "io/LineReader.h"
#include "io/NumberText.h"
#include "io/ProgressTicker.h"
#include "io/TextSniff.h"
#include "io/ThreadTeam.h"

namespace {

constexpr int kHeaderLines = 4;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kNotTextMessage[] =
    "標準CSV形式のテキストファイルではありません（UTF-16で保存されたファイルか、テキストでないファイルです）。";

// Everything a successful read puts into the record.
struct CsvRecord {
  int channelCount = 0;
  int sampleCount = 0;
  double rate = 0.0;
  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  std::array<std::vector<float>, kMaxChannels> samples;
};

}  // namespace

double ParseCellValue(std::string_view cell, CsvDialect dialect) {
  if (dialect == CsvDialect::Comma) return ParseDecimal(cell);
  // The comma takes the point's place; a point cannot continue the number.
  char text[kMaxCellLength];
  const std::size_t length = std::min(cell.size(), sizeof text);
  for (std::size_t i = 0; i < length; ++i) text[i] = cell[i] == ',' ? '.' : cell[i] == '.' ? ';' : cell[i];
  return ParseDecimal(std::string_view(text, length));
}

namespace {

// SplitLineValues on a line with kCellOverread readable bytes past its end.
template <char Separator, char Decimal>
[[gnu::always_inline]] inline int SplitPaddedValues(std::string_view line, float* values, int wanted) {
  constexpr CsvDialect kDialect = Separator == ',' ? CsvDialect::Comma : CsvDialect::Semicolon;
  const char* p = line.data();
  const char* const end = p + line.size();
  int count = 0;
  while (p < end && count < wanted) {
    if (const char* cellEnd = PlainCell<Separator, Decimal>(p, end, values[count])) {
      ++count;
      if (cellEnd == end) break;
      p = cellEnd + 1;
      continue;
    }
    const char c = *p;
    if (c == '\0') break;
    if (c == ' ' || c == '\t' || c == '\n') {
      ++p;
      continue;
    }
    if (c == Separator) {  // an empty cell
      values[count++] = 0.0f;
      ++p;
      continue;
    }
    const char* cellEnd = p;
    while (cellEnd < end && *cellEnd != Separator && *cellEnd != '\n' && *cellEnd != '\0') ++cellEnd;
    const std::size_t length = std::min(static_cast<std::size_t>(cellEnd - p), kMaxCellLength);
    values[count++] = static_cast<float>(ParseCellValue(std::string_view(p, length), kDialect));
    if (cellEnd == end || *cellEnd == '\0') break;
    p = cellEnd + 1;
  }
  return count;
}

int SplitPaddedValues(std::string_view line, float* values, int wanted, CsvDialect dialect) {
  return dialect == CsvDialect::Comma ? SplitPaddedValues<',', '.'>(line, values, wanted)
                                      : SplitPaddedValues<';', ','>(line, values, wanted);
}

}  // namespace

int SplitLineValues(std::string_view line, float* values, int wanted, CsvDialect dialect) {
  // The line is copied where the bytes past its end may be read.
  thread_local std::vector<char> padded;
  padded.assign(line.begin(), line.end());
  padded.resize(line.size() + kCellOverread, '\0');
  return SplitPaddedValues(std::string_view(padded.data(), line.size()), values, wanted, dialect);
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

// Files below this size are read by one thread: another costs more than it saves.
constexpr unsigned long long kSplitAtBytes = 256 * 1024;
// Pieces a larger file is cut into, which the threads take in turn: enough
// that a thread slowed down by other work on the machine leaves little to the
// others at the end. A piece is then at least 16 KB, and the first holds the
// four header lines (a line takes at most 2000 bytes of the file).
constexpr int kMaxPieces = 16;
// How far past its cut a piece's first line may start.
constexpr std::size_t kCutSearchBytes = 64 * 1024;
// Lines between two looks at the cancel flag and reports of progress.
constexpr int kLinesPerCheck = 4096;
// The share of the whole read that the first pass, counting lines, takes.
constexpr double kCountShare = 0.1;
// Files up to this size are read into memory at once: one copy from the
// system instead of one per pass, and the lines counted sixteen bytes at a
// time, for at most this much memory beside the samples. Larger files are
// read in blocks by both passes, so that reading one never takes much more
// memory than its samples.
constexpr unsigned long long kWholeFileBytes = 32ULL << 20;
std::atomic<unsigned long long> wholeFileLimit{kWholeFileBytes};
// The block of a file read into memory between two reports of progress.
constexpr std::size_t kWholeReadBlock = 1 << 20;

// One piece of the file, [begin, end), and what the passes found in it.
struct Piece {
  unsigned long long begin = 0;
  unsigned long long end = 0;
  long long lines = 0;  // lines counted by the first pass
  bool failed = false;
  int firstRow = 0;  // its first data row, and its rows
  int rows = 0;
  int rowsRead = 0;                // rows the second pass converted
  bool longer = false;             // the second pass found more lines than the first counted
  float carried[kMaxCells] = {};   // the values its last line left in the shared array
  int firstSet[kMaxCells] = {};    // per channel, its first row with a cell of its own
};

// The pieces of a file (read from `fd`, or the bytes at `memory`): each but
// the first starts just after a line feed, which begins a line whatever came
// before it.
std::vector<Piece> CutIntoPieces(int fd, const char* memory, unsigned long long size) {
  std::vector<unsigned long long> starts = {0};
  if (size >= kSplitAtBytes) {
    std::vector<char> look(memory == nullptr ? kCutSearchBytes : 0);
    for (int k = 1; k < kMaxPieces; ++k) {
      const unsigned long long cut = size / kMaxPieces * k;
      if (cut <= starts.back()) continue;
      const char* looked = memory + cut;
      ssize_t got = static_cast<ssize_t>(std::min<unsigned long long>(kCutSearchBytes, size - cut));
      if (memory == nullptr) {
        got = ::pread(fd, look.data(), look.size(), static_cast<off_t>(cut));
        looked = look.data();
      }
      if (got <= 0) break;
      const auto* lf = static_cast<const char*>(std::memchr(looked, '\n', static_cast<std::size_t>(got)));
      if (lf == nullptr) continue;
      const unsigned long long start = cut + static_cast<unsigned long long>(lf - looked) + 1;
      if (start < size) starts.push_back(start);
    }
  }
  std::vector<Piece> pieces(starts.size());
  for (std::size_t k = 0; k < starts.size(); ++k) {
    pieces[k].begin = starts[k];
    pieces[k].end = k + 1 < starts.size() ? starts[k + 1] : LineReader::kToTheEnd;
  }
  return pieces;
}

// One pass of the threads over the pieces: which piece is next, the bytes
// done, whether to stop. Only the calling thread reports.
class PieceWork {
 public:
  PieceWork(const Progress* progress, unsigned long long size, std::size_t pieces)
      : ticker_(progress), progress_(progress), size_(size), pieces_(pieces) {}

  // Starts a pass from piece `first`, with its share of the whole read and
  // the share done before it.
  void StartPass(std::size_t first, double before, double share) {
    next_ = first;
    bytes_ = 0;
    before_ = before;
    share_ = share;
  }
  // The next piece to take; false when none is left or the read is to stop.
  bool Take(std::size_t& piece) {
    if (cancelled_.load(std::memory_order_relaxed)) return false;
    piece = next_.fetch_add(1);
    return piece < pieces_;
  }
  // Called every kLinesPerCheck lines and at the end of a piece with the
  // bytes passed since the last call; false when the read is to stop.
  bool Check(bool caller, unsigned long long moreBytes) {
    if (progress_ != nullptr && progress_->Cancelled()) cancelled_ = true;
    bytes_.fetch_add(moreBytes);
    if (caller) Report();
    return !cancelled_.load(std::memory_order_relaxed);
  }
  // Reports the bytes done so far; on the calling thread only.
  void Report() { ticker_.At(before_ + share_ * static_cast<double>(bytes_.load()) / static_cast<double>(size_)); }
  bool Cancelled() const { return cancelled_.load(); }
  void Done() { ticker_.Done(); }

 private:
  ProgressTicker ticker_;
  const Progress* progress_;
  unsigned long long size_;
  std::size_t pieces_;
  std::atomic<std::size_t> next_{0};
  std::atomic<unsigned long long> bytes_{0};
  double before_ = 0.0;
  double share_ = 1.0;
  std::atomic<bool> cancelled_{false};
};

// Counts the lines of a piece as LineReader hands them out, of the file in
// memory when `memory` is given.
void CountPieceLines(LineReader& reader, const char* memory, unsigned long long size, Piece& piece, PieceWork& work,
                     bool caller) {
  if (memory != nullptr) {
    const auto begin = static_cast<std::size_t>(piece.begin);
    const auto end = static_cast<std::size_t>(std::min(piece.end, size));
    piece.lines = static_cast<long long>(CountLines(memory, begin, end));
    work.Check(caller, end - begin);
    return;
  }
  reader.Reset(piece.begin, piece.end);
  unsigned long long checked = piece.begin;
  std::string_view line;
  while (reader.Next(line)) {
    if (++piece.lines % kLinesPerCheck == 0) {
      const bool goOn = work.Check(caller, reader.Offset() - checked);
      checked = reader.Offset();
      if (!goOn) return;
    }
  }
  piece.failed = reader.Failed();
  work.Check(caller, reader.Offset() - checked);
}

// Rates a file may give: one sample in about 12 days to the largest rate the
// format ever held.
constexpr double kMinRate = 1e-6;
constexpr double kMaxRate = INT_MAX;

// The number of channels line 1 names: its cells up to the last one that holds
// more than blanks (a separator at the end of the line names nothing).
int NamedChannels(std::string_view line, char separator) {
  int cell = 0;
  int named = 0;
  bool filled = false;
  for (const char c : line) {
    if (c == '\n' || c == '\0') break;
    if (c == separator) {
      if (filled) named = cell + 1;
      ++cell;
      filled = false;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      filled = true;
    }
  }
  return filled ? cell + 1 : named;
}

// What identifies the file's contents between the passes.
struct FileState {
  long long size = 0;
  long long modifiedSeconds = 0;
  long long modifiedNanoseconds = 0;
  long long changedSeconds = 0;
  long long changedNanoseconds = 0;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const struct stat& info) {
  return {static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
          static_cast<long long>(info.st_mtim.tv_nsec), static_cast<long long>(info.st_ctim.tv_sec),
          static_cast<long long>(info.st_ctim.tv_nsec)};
}

}  // namespace

void SetCsvWholeFileLimit(unsigned long long bytes) { wholeFileLimit = bytes; }

ReadResult ReadCsv(const std::string& path, WaveData& record, const Progress* progress) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may never
  // come; it has no effect on regular files, the only kind read here.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (std::optional<ReadResult> failed = UnopenableFile(path, file.get(), info)) return *failed;
  // Read on, a file that is no text would be refused for its rate, which
  // says nothing of the real cause.
  if (!LooksLikeText(FileHead(file.get()))) return Refused(kNotTextMessage);
  const auto size = static_cast<unsigned long long>(info.st_size);

  // A file that is not large is read into memory once.
  std::unique_ptr<char[]> whole;
  const char* memory = nullptr;
  if (size <= wholeFileLimit.load()) {
    // Not cleared first: every byte is read over, and only the bytes past the
    // end are set.
    whole = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size) + LineReader::kOverread);
    std::memset(whole.get() + size, 0, LineReader::kOverread);
    ProgressTicker ticker(progress);
    for (std::size_t done = 0; done < size;) {
      if (progress != nullptr && progress->Cancelled()) return ReadCancelled();
      const std::size_t wanted = std::min<std::size_t>(kWholeReadBlock, static_cast<std::size_t>(size) - done);
      const ssize_t got = ::pread(file.get(), whole.get() + done, wanted, static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Refused("ファイルを最後まで読めませんでした。");
      if (got == 0) return ChangedWhileRead();  // shorter than it was
      done += static_cast<std::size_t>(got);
      ticker.At(kCountShare * static_cast<double>(done) / static_cast<double>(size));
    }
    memory = whole.get();
  }

  // A large file is cut into pieces at line starts, and both passes go through
  // the pieces on every core: each piece's lines are counted and converted on
  // their own.
  std::vector<Piece> pieces = CutIntoPieces(file.get(), memory, size);
  const std::size_t threads = std::min<std::size_t>(pieces.size(), std::max(1u, std::thread::hardware_concurrency()));
  std::vector<LineReader> readers;
  for (std::size_t t = 0; t < threads; ++t) {
    if (memory != nullptr) readers.emplace_back(whole.get(), static_cast<std::size_t>(size));
    else readers.emplace_back(file.get());
  }
  PieceWork work(progress, size, pieces.size());

  // First pass: count the lines (in memory, its share went to the reading).
  work.StartPass(0, memory != nullptr ? kCountShare : 0.0, memory != nullptr ? 0.0 : kCountShare);
  RunOnThreads(
      threads,
      [&](std::size_t t) {
        for (std::size_t k; work.Take(k);) CountPieceLines(readers[t], memory, size, pieces[k], work, t == 0);
      },
      [&] { work.Report(); });
  if (work.Cancelled()) return ReadCancelled();
  long long lineCount = 0;
  for (const Piece& piece : pieces) {
    if (piece.failed) return Refused("ファイルを最後まで読めませんでした。");
    lineCount += piece.lines;
  }
  if (lineCount < kHeaderLines) {
    return Refused("CSVファイルの行数が足りません（見出しの4行が必要です）。");
  }
  if (lineCount - kHeaderLines > INT_MAX) return Refused("データの行数が多すぎます。");
  const int allocated = static_cast<int>(lineCount - kHeaderLines);
  int row = 0;
  for (Piece& piece : pieces) {
    piece.firstRow = row;
    piece.rows = static_cast<int>(piece.lines - (row == 0 && piece.begin == 0 ? kHeaderLines : 0));
    row += piece.rows;
  }

  LineReader& reader = readers[0];
  reader.Reset(pieces[0].begin, pieces[0].end);
  std::string_view line;
  CsvRecord fresh;
  CellArray cells;
  // Line 1: the channel names, taken exactly; a UTF-8 byte-order mark is
  // not part of the first name.
  reader.Next(line);
  if (line.starts_with(kUtf8Bom)) line.remove_prefix(kUtf8Bom.size());
  // A first line with ';' and no ',' is the decimal-comma dialect.
  const std::string_view firstLine = line.substr(0, line.find('\n'));
  const CsvDialect dialect = firstLine.find(';') != std::string_view::npos && firstLine.find(',') == std::string_view::npos
                                 ? CsvDialect::Semicolon
                                 : CsvDialect::Comma;
  const char separator = dialect == CsvDialect::Semicolon ? ';' : ',';
  fresh.channelCount = std::min(SplitNameLine(line, cells, separator), kMaxChannels);
  if (fresh.channelCount < 1) return Refused("1行目にチャンネル名がありません。");
  for (int k = 0; k < fresh.channelCount; ++k) CopyToSlot(cells[k].View(), fresh.names[k]);
  std::vector<std::string> warnings;
  if (const int named = NamedChannels(line, separator); named > kMaxChannels) {
    warnings.push_back(ChannelsLeftOutWarning(named));
  }

  // Line 2: the sampling rate in its first cell.
  reader.Next(line);
  SplitLine(line, cells, separator);
  const double rate = ParseCellValue(cells[0].View(), dialect);
  if (!(rate >= kMinRate && rate <= kMaxRate)) {
    return Refused("サンプリング周波数（2行目）が正しくありません。0.000001 から 2147483647 までの数が必要です。");
  }
  fresh.rate = rate;

  // Line 3: the memo, dropped. Line 4: the units.
  reader.Next(line);
  reader.Next(line);
  SplitLine(line, cells, separator);
  for (int k = 0; k < fresh.channelCount; ++k) CopyToSlot(cells[k].View(), fresh.units[k]);

  const unsigned long long bytes =
      static_cast<unsigned long long>(allocated) * static_cast<unsigned long long>(fresh.channelCount) * sizeof(float);
  if (!FitsInMemory(bytes)) return Refused("データが大きすぎて、このコンピュータのメモリに読み込めません。");
  // Fresh memory comes in page by page as it is first written, which on some
  // systems costs as much as converting the lines: the threads allocate the
  // channels between them.
  const int channels = fresh.channelCount;
  const std::size_t allocating = std::min<std::size_t>(threads, static_cast<std::size_t>(channels));
  RunOnThreads(
      allocating,
      [&](std::size_t t) {
        for (std::size_t k = t; k < static_cast<std::size_t>(channels); k += allocating) {
          fresh.samples[k].assign(static_cast<std::size_t>(allocated), 0.0f);
        }
      },
      [] {});

  // Second pass: one row per line. A short line keeps, for its missing
  // channels, the cells the previous split left in the shared array; on data
  // lines the array holds the cells' values, starting from the header's cells.
  // A piece after the first starts without knowing them: its rows before a
  // channel's first cell are filled in afterwards from the pieces before it.
  for (int k = 0; k < kMaxCells; ++k) pieces[0].carried[k] = static_cast<float>(ParseCellValue(cells[k].View(), dialect));
  auto convert = [&fresh, &work, channels, dialect](LineReader& lines, Piece& piece, bool caller) {
    const int endRow = piece.firstRow + piece.rows;
    std::fill(std::begin(piece.firstSet), std::end(piece.firstSet), endRow);
    float* columns[kMaxChannels] = {};
    for (int k = 0; k < channels; ++k) columns[k] = fresh.samples[k].data();
    // Channels still without a cell of their own in this piece; once every
    // one has had one (on the first full row, as a rule) none is looked for.
    int unset = channels;
    unsigned long long checked = lines.Offset();
    std::string_view text;
    int row = piece.firstRow;
    while (row < endRow && lines.Next(text)) {
      const int found = SplitPaddedValues(text, piece.carried, channels, dialect);
      for (int k = 0; k < channels; ++k) columns[k][row] = piece.carried[k];
      if (unset > 0) {
        for (int k = 0; k < found; ++k) {
          if (piece.firstSet[k] == endRow) {
            piece.firstSet[k] = row;
            --unset;
          }
        }
      }
      ++row;
      if ((row - piece.firstRow) % kLinesPerCheck == 0) {
        const bool goOn = work.Check(caller, lines.Offset() - checked);
        checked = lines.Offset();
        if (!goOn) break;
      }
    }
    piece.rowsRead = row - piece.firstRow;
    // A line beyond the counted ones means the piece changed since.
    if (row == endRow && !work.Cancelled() && lines.Next(text)) piece.longer = true;
    piece.failed = lines.Failed();
    work.Check(caller, lines.Offset() - checked);
  };
  // The calling thread goes on from the header with the first piece.
  work.StartPass(1, kCountShare, 1.0 - kCountShare);
  RunOnThreads(
      threads,
      [&](std::size_t t) {
        if (t == 0) convert(reader, pieces[0], true);
        for (std::size_t k; work.Take(k);) {
          readers[t].Reset(pieces[k].begin, pieces[k].end);
          convert(readers[t], pieces[k], t == 0);
        }
      },
      [&] { work.Report(); });
  if (work.Cancelled()) return ReadCancelled();

  // A piece that came out shorter or longer than counted, or a file whose
  // size or times moved, changed between the passes. Rows that started a piece
  // without a cell of their own take the value the pieces before left.
  int sampleCount = 0;
  float incoming[kMaxCells];
  std::copy(std::begin(pieces[0].carried), std::end(pieces[0].carried), incoming);
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const Piece& piece = pieces[k];
    if (piece.failed) return Refused("ファイルを最後まで読めませんでした。");
    const int endRow = piece.firstRow + piece.rowsRead;
    if (k > 0) {
      for (int c = 0; c < channels; ++c) {
        std::fill(fresh.samples[c].begin() + piece.firstRow,
                  fresh.samples[c].begin() + std::min(piece.firstSet[c], endRow), incoming[c]);
        if (piece.firstSet[c] < endRow) incoming[c] = piece.carried[c];
      }
    }
    sampleCount = endRow;
    if (piece.rowsRead < piece.rows || piece.longer) return ChangedWhileRead();
  }
  // A stop asked for after the last report is still in time.
  if (progress != nullptr && progress->Cancelled()) return ReadCancelled();
  struct stat after {};
  if (::fstat(file.get(), &after) != 0 || !(StateOf(after) == StateOf(info))) return ChangedWhileRead();
  fresh.sampleCount = sampleCount;

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
  work.Done();

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = fresh.sampleCount;
  result.warnings = std::move(warnings);
  return result;
}
