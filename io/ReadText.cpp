#include "io/ReadText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "io/CellNumbers.h"
#include "io/FileHandle.h"
#include "io/NumberText.h"
#include "io/ProgressTicker.h"
#include "io/ReadCsv.h"
#include "io/TextLayout.h"
#include "io/TextSniff.h"
#include "io/ThreadTeam.h"

namespace {

// The layout is found from this much of the file's start (hundreds of lines).
constexpr std::size_t kHeadBytes = 64 * 1024;
// Reports of progress while the file is read into memory, every block.
constexpr std::size_t kReadBlock = 1 << 20;
// Shares of the whole read: reading the file, counting rows, converting.
constexpr double kReadShare = 0.2;
constexpr double kCountShare = 0.1;
// Files below this size are converted by one thread; larger ones in pieces
// that the threads take in turn.
constexpr std::size_t kSplitAtBytes = 256 * 1024;
constexpr int kMaxPieces = 16;
constexpr int kLinesPerCheck = 4096;
constexpr double kMinRate = 1e-6;
constexpr double kMaxRate = INT_MAX;
// A mean step further than this (relative) from the median step is worth a word.
constexpr double kUnevenSteps = 1e-3;

constexpr char kNotTextMessage[] =
    "テキストファイルではありません（UTF-16 で保存されたファイルか、テキストでないファイルです）。";
constexpr char kNoRateMessage[] =
    "テキストファイルのサンプリング周波数が指定されていません。サンプリング周波数（--rate）か時刻の列（--time-column）の"
    "どちらかを指定してください。";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next line of [at, end): without its line feed and a carriage return
// before it.
std::string_view NextLine(const char* data, std::size_t& at, std::size_t end) {
  const std::size_t start = at;
  const auto* feed = static_cast<const char*>(std::memchr(data + at, '\n', end - at));
  std::size_t stop = feed != nullptr ? static_cast<std::size_t>(feed - data) : end;
  at = feed != nullptr ? stop + 1 : end;
  if (stop > start && data[stop - 1] == '\r') --stop;
  return {data + start, stop - start};
}

bool IsBlankLine(std::string_view line) {
  for (const char c : line) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

// A short, locale-free text of a number for messages.
std::string Short(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

// What a row's cells go to: the channel of each column (-1: none), the time
// column (-1: none).
struct RowPlan {
  int columns = 0;
  int timeColumn = -1;
  std::vector<int> channelOf;
};

// The decimals the time column is written with.
struct TimeDigits {
  int decimals = 0;
  bool exponent = false;

  void Note(std::string_view cell, char decimal) {
    const std::size_t mark = cell.find(decimal);
    if (cell.find_first_of("eE") != std::string_view::npos) exponent = true;
    if (mark == std::string_view::npos) return;
    int digits = 0;
    for (std::size_t i = mark + 1; i < cell.size() && cell[i] >= '0' && cell[i] <= '9'; ++i) ++digits;
    decimals = std::max(decimals, digits);
  }
};

// One row: the values of the channels into `values`, the time into `time`.
// False, with the reason, when the line is not a row of plan.columns numbers.
template <char Separator, char Decimal>
bool ParseRow(std::string_view line, const RowPlan& plan, float* values, double& time, TimeDigits& digits,
              std::string& why) {
  constexpr bool kBlanks = Separator == ' ';
  const char* p = line.data();
  const char* const end = p + line.size();
  for (int column = 0; column < plan.columns; ++column) {
    if (kBlanks) {
      while (p < end && IsBlank(*p)) ++p;
    }
    if (p >= end && (kBlanks || column > 0)) {
      why = "数値が " + std::to_string(column) + " 個しかありません（" + std::to_string(plan.columns) + " 個のはずです）";
      return false;
    }
    const char* cellEnd = nullptr;
    float value = 0.0f;
    if (column != plan.timeColumn) {
      cellEnd = PlainCell<Separator, Decimal>(p, end, value);
    } else if (PlainParts parts; PlainCellParts<Separator, Decimal>(p, end, parts)) {
      // The time in double precision, exactly as ParseDecimal gives it.
      const double magnitude = static_cast<double>(static_cast<std::int64_t>(parts.digits)) /
                               cell_detail::kPowersOfTen[parts.decimals];
      time = parts.negative ? -magnitude : magnitude;
      digits.decimals = std::max(digits.decimals, parts.decimals);
      cellEnd = parts.end;
    }
    if (cellEnd == nullptr) {
      cellEnd = p;
      while (cellEnd < end && *cellEnd != Separator && !(kBlanks && *cellEnd == '\t')) ++cellEnd;
      const std::string_view cell(p, static_cast<std::size_t>(cellEnd - p));
      const std::optional<double> number = StrictNumber(cell, Decimal);
      if (!number) {
        why = std::to_string(column + 1) + " 列目「" + std::string(cell.substr(0, 40)) + "」は数値ではありません";
        return false;
      }
      if (column == plan.timeColumn) {
        time = *number;
        digits.Note(cell, Decimal);
      }
      value = static_cast<float>(*number);
    }
    if (plan.channelOf[static_cast<std::size_t>(column)] >= 0) {
      values[plan.channelOf[static_cast<std::size_t>(column)]] = value;
    }
    p = cellEnd < end && !kBlanks ? cellEnd + 1 : cellEnd;
  }
  // Nothing may follow but blanks (after a separator at the end of the line).
  while (p < end && IsBlank(*p)) ++p;
  if (p < end) {
    why = "数値が " + std::to_string(plan.columns) + " 個より多くあります";
    return false;
  }
  return true;
}

using RowParser = bool (*)(std::string_view, const RowPlan&, float*, double&, TimeDigits&, std::string&);

RowParser ParserFor(TextDelimiter delimiter, char decimal) {
  const bool comma = decimal == ',';
  switch (delimiter) {
    case TextDelimiter::Comma: return ParseRow<',', '.'>;
    case TextDelimiter::Semicolon: return comma ? ParseRow<';', ','> : ParseRow<';', '.'>;
    case TextDelimiter::Tab: return comma ? ParseRow<'\t', ','> : ParseRow<'\t', '.'>;
    case TextDelimiter::Blanks: return comma ? ParseRow<' ', ','> : ParseRow<' ', '.'>;
  }
  return ParseRow<',', '.'>;
}

// A piece of the rows, [begin, end) of the file, and what the passes found.
struct Piece {
  std::size_t begin = 0;
  std::size_t end = 0;
  long long lines = 0;     // lines, blank ones included
  long long rows = 0;      // rows of numbers
  long long firstLine = 0; // the file's line number (from 1) of its first line
  long long firstRow = 0;
  long long errorLine = 0; // the first line that is no row, 0 for none
  std::string error;
  TimeDigits digits;
};

// The pieces of [begin, size): each after the first starts just after a line feed.
std::vector<Piece> CutIntoPieces(const char* data, std::size_t begin, std::size_t size) {
  std::vector<std::size_t> starts = {begin};
  const std::size_t span = size - begin;
  if (span >= kSplitAtBytes) {
    for (int k = 1; k < kMaxPieces; ++k) {
      const std::size_t cut = begin + span / kMaxPieces * static_cast<std::size_t>(k);
      if (cut <= starts.back()) continue;
      const auto* feed = static_cast<const char*>(std::memchr(data + cut, '\n', size - cut));
      if (feed == nullptr) break;
      const auto start = static_cast<std::size_t>(feed - data) + 1;
      if (start < size && start > starts.back()) starts.push_back(start);
    }
  }
  std::vector<Piece> pieces(starts.size());
  for (std::size_t k = 0; k < starts.size(); ++k) {
    pieces[k].begin = starts[k];
    pieces[k].end = k + 1 < starts.size() ? starts[k + 1] : size;
  }
  return pieces;
}

// Shares pieces among threads and reports the bytes done from the calling
// thread only.
class Sharing {
 public:
  Sharing(const Progress* progress, std::size_t pieces) : ticker_(progress), progress_(progress), pieces_(pieces) {}
  void Start(double before, double share, std::size_t bytes) {
    next_ = 0;
    done_ = 0;
    before_ = before;
    share_ = share;
    bytes_ = std::max<std::size_t>(bytes, 1);
  }
  bool Take(std::size_t& piece) {
    if (stop_.load(std::memory_order_relaxed)) return false;
    piece = next_.fetch_add(1);
    return piece < pieces_;
  }
  // With the bytes passed since the last call; false when the read is to stop.
  bool Check(bool caller, std::size_t moreBytes) {
    if (progress_ != nullptr && progress_->Cancelled()) stop_ = true;
    done_.fetch_add(moreBytes);
    if (caller) Report();
    return !stop_.load(std::memory_order_relaxed);
  }
  void Report() { ticker_.At(before_ + share_ * static_cast<double>(done_.load()) / static_cast<double>(bytes_)); }
  bool Stopped() const { return stop_.load(); }
  void Done() { ticker_.Done(); }

 private:
  ProgressTicker ticker_;
  const Progress* progress_;
  std::size_t pieces_;
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> done_{0};
  std::size_t bytes_ = 1;
  double before_ = 0.0;
  double share_ = 1.0;
  std::atomic<bool> stop_{false};
};

struct FileState {
  long long size, modifiedSeconds, modifiedNanoseconds, changedSeconds, changedNanoseconds;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const struct stat& info) {
  return {static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
          static_cast<long long>(info.st_mtim.tv_nsec), static_cast<long long>(info.st_ctim.tv_sec),
          static_cast<long long>(info.st_ctim.tv_nsec)};
}

}  // namespace

double RateFromStep(double medianStep, int decimals) {
  double step = medianStep;
  if (decimals >= 0 && decimals <= 15) {
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(medianStep * scale) / scale;
    if (rounded > 0.0) step = rounded;
  }
  char text[40];
  const auto printed = std::to_chars(text, text + sizeof text, 1.0 / step, std::chars_format::general, 9);
  return ParseDecimal(std::string_view(text, static_cast<std::size_t>(printed.ptr - text)));
}

ReadResult ReadText(const std::string& path, const ReadOptions& options, WaveData& record, const Progress* progress) {
  if (options.Rate.has_value() == options.TimeColumn.has_value()) {
    return Refused(options.Rate ? "サンプリング周波数と時刻の列は、どちらか一方だけを指定してください。"
                                : kNoRateMessage);
  }
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (std::optional<ReadResult> failed = UnopenableFile(path, file.get(), info)) return *failed;
  const auto size = static_cast<std::size_t>(info.st_size);
  if (!FitsInMemory(size)) return Refused("ファイルが大きすぎて、このコンピュータのメモリに読み込めません。");

  // The whole file, followed by the bytes the cell conversion may read.
  const std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(size + kCellOverread);
  std::memset(bytes.get() + size, 0, kCellOverread);
  {
    ProgressTicker ticker(progress);
    for (std::size_t done = 0; done < size;) {
      if (progress != nullptr && progress->Cancelled()) return ReadCancelled();
      const std::size_t wanted = std::min(kReadBlock, size - done);
      const ssize_t got = ::pread(file.get(), bytes.get() + done, wanted, static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Refused("ファイルを最後まで読めませんでした。");
      if (got == 0) return ChangedWhileRead();
      done += static_cast<std::size_t>(got);
      ticker.At(kReadShare * static_cast<double>(done) / static_cast<double>(size));
    }
  }
  struct stat after {};
  if (::fstat(file.get(), &after) != 0 || !(StateOf(after) == StateOf(info))) return ChangedWhileRead();
  ReadResult result = ParseText(std::string_view(bytes.get(), size), true, options, record, progress);
  if (result.ok()) result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  return result;
}

ReadResult ParseText(std::string_view text, bool whole, const ReadOptions& options, WaveData& record,
                     const Progress* progress) {
  if (options.Rate.has_value() == options.TimeColumn.has_value()) {
    return Refused(options.Rate ? "サンプリング周波数と時刻の列は、どちらか一方だけを指定してください。"
                                : kNoRateMessage);
  }
  // The rows end with the text's last complete line unless it is whole.
  if (!whole) text = text.substr(0, text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n') + 1);
  const char* const data = text.data();
  const std::size_t size = text.size();

  const std::string_view head(data, std::min(size, kHeadBytes));
  if (!LooksLikeText(head.substr(0, kTextSniffBytes))) return Refused(kNotTextMessage);
  const TextLayoutResult found = DetectTextLayout(head, whole && size <= kHeadBytes, options);
  if (!found.Layout) return Refused(found.Message);
  const TextLayout& layout = *found.Layout;

  // Which column goes where.
  RowPlan plan;
  plan.columns = layout.Columns;
  plan.channelOf.assign(static_cast<std::size_t>(layout.Columns), -1);
  if (options.TimeColumn) {
    if (*options.TimeColumn > layout.Columns) {
      return Refused("時刻の列 " + std::to_string(*options.TimeColumn) + " がありません（このファイルの列は " +
                     std::to_string(layout.Columns) + " 個です）。");
    }
    plan.timeColumn = *options.TimeColumn - 1;
  }
  const int fileChannels = layout.Columns - (plan.timeColumn >= 0 ? 1 : 0);
  if (fileChannels < 1) return Refused("時刻の列のほかに数値の列がありません。");
  std::vector<int> channelColumns;
  for (int column = 0; column < layout.Columns; ++column) {
    if (column == plan.timeColumn) continue;
    if (static_cast<int>(channelColumns.size()) < kMaxChannels) {
      plan.channelOf[static_cast<std::size_t>(column)] = static_cast<int>(channelColumns.size());
      channelColumns.push_back(column);
    }
  }
  const int channels = static_cast<int>(channelColumns.size());
  if (options.Names.size() > static_cast<std::size_t>(fileChannels)) {
    return Refused("名前が " + std::to_string(options.Names.size()) + " 個指定されていますが、チャンネルは " +
                   std::to_string(fileChannels) + " 個です。");
  }
  std::vector<std::string> warnings;
  if (fileChannels > kMaxChannels) warnings.push_back(ChannelsLeftOutWarning(fileChannels));

  // Where the rows start: after the header lines (and a byte-order mark).
  std::size_t rowsStart = head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (int line = 0; line < layout.Skip && rowsStart < size; ++line) NextLine(data, rowsStart, size);

  std::vector<Piece> pieces = CutIntoPieces(data, rowsStart, size);
  const std::size_t threads = std::min<std::size_t>(pieces.size(), std::max(1u, std::thread::hardware_concurrency()));
  Sharing sharing(progress, pieces.size());
  const std::size_t rowBytes = size - rowsStart;

  // First pass: lines and rows of every piece.
  sharing.Start(kReadShare, kCountShare, rowBytes);
  RunOnThreads(
      threads,
      [&](std::size_t t) {
        for (std::size_t k; sharing.Take(k);) {
          Piece& piece = pieces[k];
          std::size_t at = piece.begin;
          std::size_t checked = at;
          while (at < piece.end) {
            const std::string_view line = NextLine(data, at, piece.end);
            ++piece.lines;
            if (!IsBlankLine(line)) ++piece.rows;
            if (piece.lines % kLinesPerCheck == 0) {
              if (!sharing.Check(t == 0, at - checked)) return;
              checked = at;
            }
          }
          sharing.Check(t == 0, at - checked);
        }
      },
      [&] { sharing.Report(); });
  if (sharing.Stopped()) return ReadCancelled();
  long long rows = 0;
  long long line = layout.Skip + 1;
  for (Piece& piece : pieces) {
    piece.firstRow = rows;
    piece.firstLine = line;
    rows += piece.rows;
    line += piece.lines;
  }
  if (rows == 0) return Refused("数値の行がありません。");
  if (rows > INT_MAX) return Refused("データの行数が多すぎます。");
  const auto sampleCount = static_cast<std::size_t>(rows);
  const unsigned long long arrayBytes =
      sampleCount * (static_cast<unsigned long long>(channels) * sizeof(float) + (plan.timeColumn >= 0 ? 16 : 0));
  if (!FitsInMemory(arrayBytes)) return Refused("データが大きすぎて、このコンピュータのメモリに読み込めません。");
  std::array<std::vector<float>, kMaxChannels> samples;
  for (int k = 0; k < channels; ++k) samples[static_cast<std::size_t>(k)].resize(sampleCount);
  std::vector<double> times(plan.timeColumn >= 0 ? sampleCount : 0);

  // Second pass: the rows.
  const RowParser parse = ParserFor(layout.Delimiter, layout.Decimal);
  sharing.Start(kReadShare + kCountShare, 1.0 - kReadShare - kCountShare, rowBytes);
  RunOnThreads(
      threads,
      [&](std::size_t t) {
        float values[kMaxChannels] = {};
        std::string why;
        for (std::size_t k; sharing.Take(k);) {
          Piece& piece = pieces[k];
          std::size_t at = piece.begin;
          std::size_t checked = at;
          std::size_t row = static_cast<std::size_t>(piece.firstRow);
          for (long long index = 0; at < piece.end; ++index) {
            const std::string_view text = NextLine(data, at, piece.end);
            if (IsBlankLine(text)) continue;
            double time = 0.0;
            if (!parse(text, plan, values, time, piece.digits, why)) {
              piece.errorLine = piece.firstLine + index;
              piece.error = why;
              break;
            }
            for (int c = 0; c < channels; ++c) samples[static_cast<std::size_t>(c)][row] = values[c];
            if (!times.empty()) times[row] = time;
            if (++row % kLinesPerCheck == 0) {
              if (!sharing.Check(t == 0, at - checked)) return;
              checked = at;
            }
          }
          sharing.Check(t == 0, at - checked);
        }
      },
      [&] { sharing.Report(); });
  if (sharing.Stopped()) return ReadCancelled();
  for (const Piece& piece : pieces) {
    if (piece.errorLine != 0) {
      return Refused(std::to_string(piece.errorLine) + " 行目は数値の行ではありません：" + piece.error + "。");
    }
  }

  // The rate: given, or from the time column's median step.
  double rate = options.Rate.value_or(0.0);
  if (plan.timeColumn >= 0) {
    if (sampleCount < 2) return Refused("時刻の列から刻みを求めるには 2 行以上が必要です。");
    std::vector<double> steps(sampleCount - 1);
    bool backwards = false;
    for (std::size_t i = 1; i < sampleCount; ++i) {
      steps[i - 1] = times[i] - times[i - 1];
      backwards = backwards || !(steps[i - 1] > 0.0);
    }
    const std::size_t middle = steps.size() / 2;
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(middle), steps.end());
    const double median = steps[middle];
    if (!(median > 0.0) || !std::isfinite(median)) {
      return Refused("時刻の列（" + std::to_string(*options.TimeColumn) + " 列目）の刻みの中央値が正ではありません。");
    }
    int decimals = -1;
    bool exponent = false;
    for (const Piece& piece : pieces) {
      decimals = std::max(decimals, piece.digits.decimals);
      exponent = exponent || piece.digits.exponent;
    }
    rate = RateFromStep(median, exponent ? -1 : decimals);
    const double mean = (times.back() - times.front()) / static_cast<double>(sampleCount - 1);
    if (backwards || std::fabs(mean - median) > kUnevenSteps * median) {
      warnings.push_back("時刻の列の刻みが一定ではありません（中央値 " + Short(median) + " 秒、平均 " + Short(mean) +
                         " 秒" + (backwards ? "、時刻の戻る行があります" : "") +
                         "）。サンプリング周波数は中央値から " + RateText(rate) + " /s としました。");
    }
  }
  if (!(rate >= kMinRate && rate <= kMaxRate)) {
    return Refused("サンプリング周波数 " + Short(rate) + " /s は扱えません（0.000001 から 2147483647 まで）。");
  }
  if (progress != nullptr && progress->Cancelled()) return ReadCancelled();

  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  for (int k = 0; k < channels; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    const auto column = static_cast<std::size_t>(channelColumns[slot]);
    std::string name = "ch" + std::to_string(k + 1);
    if (slot < options.Names.size()) name = options.Names[slot];
    else if (!layout.HeaderNames.empty()) name = layout.HeaderNames[column];
    CopyToSlot(name, names[slot]);
    CopyToSlot(options.Unit.value_or(""), units[slot]);
  }
  record.ChannelCount = channels;
  record.SampleCount = static_cast<std::int32_t>(sampleCount);
  record.Rate = rate;
  record.Dt = static_cast<float>(1.0 / rate);
  record.Names = names;
  record.Units = units;
  for (int k = 0; k < kMaxChannels; ++k) record.Samples[static_cast<std::size_t>(k)] = std::move(samples[static_cast<std::size_t>(k)]);
  sharing.Done();

  ReadResult result;
  result.sliderMax = record.SampleCount;
  result.warnings = std::move(warnings);
  return result;
}
