#include "io/ReadUff.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "io/FileHandle.h"
#include "io/NumberText.h"
#include "io/ProgressTicker.h"
#include "io/ReadCsv.h"

namespace {

constexpr int kTimeResponse = 1;          // function type of record 6
constexpr int kRealSingle = 2;            // ordinate data types of record 7
constexpr int kRealDouble = 4;
constexpr int kEvenSpacing = 1;
constexpr int kLittleEndian = 1;          // byte ordering of a 58b header
constexpr int kIeee = 2;                  // floating-point format of a 58b header
constexpr int kHeaderRecords = 11;        // ASCII records before the data values
// The widest an increment's text is taken to allow: beyond this the printed
// digits are too few to prefer a shorter rate over the plain inverse.
constexpr double kMaxIncrementSlack = 1e-5;
constexpr double kSameIncrement = 1e-9;   // relative
constexpr double kMinRate = 1e-6;
constexpr double kMaxRate = INT_MAX;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string_view NextLine(const char* data, std::size_t& at, std::size_t size) {
  const std::size_t start = at;
  const auto* feed = static_cast<const char*>(std::memchr(data + at, '\n', size - at));
  std::size_t stop = feed != nullptr ? static_cast<std::size_t>(feed - data) : size;
  at = feed != nullptr ? stop + 1 : size;
  if (stop > start && data[stop - 1] == '\r') --stop;
  return {data + start, stop - start};
}

bool IsDelimiter(std::string_view line) { return Trim(line) == "-1"; }

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

std::optional<long long> Integer(std::string_view text) {
  text = Trim(text);
  long long value = 0;
  const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
  const auto result = std::from_chars(begin, text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// A Fortran real at text[i]: sign, digits, point, digits, an exponent with E
// or D. Sets the end of it; nothing when there is no number there.
std::optional<double> RealAt(std::string_view text, std::size_t& i) {
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    std::size_t exponent = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++exponent;
    if (exponent == 0) return std::nullopt;
    i = j;
  }
  std::string number(text.substr(start, i - start));
  std::replace(number.begin(), number.end(), 'D', 'E');
  std::replace(number.begin(), number.end(), 'd', 'e');
  return ParseDecimal(number);
}

std::optional<double> Real(std::string_view text) {
  text = Trim(text);
  std::size_t i = 0;
  const std::optional<double> value = RealAt(text, i);
  if (!value || i != text.size()) return std::nullopt;
  return value;
}

// A fixed-width field of a record, clipped to the line.
std::string_view Field(std::string_view line, std::size_t from, std::size_t width) {
  if (from >= line.size()) return {};
  return line.substr(from, std::min(width, line.size() - from));
}

// Record 7: ordinate data type, number of values, spacing, abscissa minimum
// and increment, as Format(3I10,3E13.5) places them or, for writers that
// ignore the widths, as blank-separated fields.
struct Record7 {
  long long ordinateType = 0;
  long long points = 0;
  long long spacing = 0;
  double start = 0.0;
  double increment = 0.0;
  std::string incrementText;
};

std::optional<Record7> ParseRecord7(std::string_view line) {
  Record7 fixed;
  const auto type = Integer(Field(line, 0, 10));
  const auto points = Integer(Field(line, 10, 10));
  const auto spacing = Integer(Field(line, 20, 10));
  const auto start = Real(Field(line, 30, 13));
  const auto increment = Real(Field(line, 43, 13));
  if (type && points && spacing && start && increment) {
    return Record7{*type, *points, *spacing, *start, *increment, std::string(Trim(Field(line, 43, 13)))};
  }
  const std::vector<std::string_view> tokens = Tokens(line);
  if (tokens.size() < 5) return std::nullopt;
  const auto t = Integer(tokens[0]);
  const auto n = Integer(tokens[1]);
  const auto s = Integer(tokens[2]);
  const auto x0 = Real(tokens[3]);
  const auto dx = Real(tokens[4]);
  if (!t || !n || !s || !x0 || !dx) return std::nullopt;
  return Record7{*t, *n, *s, *x0, *dx, std::string(tokens[4])};
}

// One time record found in the file.
struct TimeRecord {
  int ordinal = 0;  // its place among the file's data sets 58, from 1
  std::string name;
  std::string unit;
  Record7 abscissa;
  std::vector<float> values;
};

// The name and unit texts a writer leaves unused.
std::string Used(std::string_view text) {
  text = Trim(text);
  return text == "NONE" ? std::string() : std::string(text);
}

template <typename T>
T FromBytes(const char* p, bool bigEndian) {
  using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
  Bits bits;
  std::memcpy(&bits, p, sizeof bits);
  if (bigEndian) {
    if constexpr (sizeof(T) == 4) bits = __builtin_bswap32(bits);
    else bits = __builtin_bswap64(bits);
  }
  return std::bit_cast<T>(bits);
}

struct Parse {
  std::vector<TimeRecord> records;
  int otherFunctions = 0;  // data sets 58 of another function type, passed over
  std::string error;       // the file's fault, when there is one
};

std::string Ordinal(int ordinal) { return std::to_string(ordinal) + " 個目のデータセット58"; }

// Reads the data sets of the file in memory, stopping at the first fault.
Parse ParseFile(const char* data, std::size_t size, ProgressTicker& ticker) {
  Parse parse;
  std::size_t at = 0;
  int ordinal = 0;
  auto fail = [&parse](std::string message) {
    parse.error = std::move(message);
    return parse;
  };
  while (at < size) {
    if (ticker.Cancelled()) return parse;
    ticker.At(static_cast<double>(at) / static_cast<double>(size));
    // The start of a data set: "-1", then its number.
    if (!IsDelimiter(NextLine(data, at, size))) continue;
    std::size_t idAt = at;
    std::string_view idLine = NextLine(data, idAt, size);
    while (Trim(idLine).empty() && idAt < size) idLine = NextLine(data, idAt, size);
    if (IsDelimiter(idLine)) continue;  // an end mark read as a start: look again
    at = idAt;
    const std::vector<std::string_view> id = Tokens(idLine);
    if (id.empty()) break;
    const bool binary = id[0].ends_with('b') || id[0].ends_with('B');
    const std::optional<long long> number = Integer(binary ? id[0].substr(0, id[0].size() - 1) : id[0]);
    std::optional<long long> byteOrder, floatFormat, asciiLines, byteCount;
    if (binary) {
      if (id.size() >= 5) {
        byteOrder = Integer(id[1]);
        floatFormat = Integer(id[2]);
        asciiLines = Integer(id[3]);
        byteCount = Integer(id[4]);
      }
      if (!byteOrder || !floatFormat || !asciiLines || !byteCount || *asciiLines < 0 || *byteCount < 0) {
        return fail("バイナリのデータセット " + std::string(id[0]) + " の見出しが正しくありません。");
      }
    }
    if (number != 58) {
      // Another kind of data set: its binary part passed over, then its end.
      if (binary) {
        for (long long line = 0; line < *asciiLines && at < size; ++line) NextLine(data, at, size);
        if (static_cast<unsigned long long>(*byteCount) > size - at) return fail("ファイルが途中で切れています。");
        at += static_cast<std::size_t>(*byteCount);
      }
      while (at < size && !IsDelimiter(NextLine(data, at, size))) {
      }
      continue;
    }

    ++ordinal;
    std::array<std::string_view, kHeaderRecords> header;
    for (std::string_view& line : header) {
      if (at >= size) return fail(Ordinal(ordinal) + "が途中で切れています。");
      line = NextLine(data, at, size);
    }
    const std::vector<std::string_view> record6 = Tokens(header[5]);
    std::optional<long long> function = Integer(Field(header[5], 0, 5));
    if (!function && !record6.empty()) function = Integer(record6[0]);
    const std::optional<Record7> abscissa = ParseRecord7(header[6]);
    if (!function || !abscissa || abscissa->points < 0) {
      return fail(Ordinal(ordinal) + "の見出し（レコード6と7）が読めません。");
    }
    const bool time = *function == kTimeResponse;
    const bool real = abscissa->ordinateType == kRealSingle || abscissa->ordinateType == kRealDouble;
    if (time && !real) return fail(Ordinal(ordinal) + "は複素数の時刻歴です。実数の時刻歴だけが読めます。");
    if (time && abscissa->spacing != kEvenSpacing) {
      return fail(Ordinal(ordinal) + "は時刻の間隔が一定でない時刻歴です。等間隔の時刻歴だけが読めます。");
    }
    if (time && !(abscissa->increment > 0.0)) return fail(Ordinal(ordinal) + "の時間の刻みが正ではありません。");
    if (time && abscissa->points > INT_MAX) return fail(Ordinal(ordinal) + "のデータ数が多すぎます。");
    if (time && !FitsInMemory(static_cast<unsigned long long>(abscissa->points) * sizeof(float))) {
      return fail("データが大きすぎて、このコンピュータのメモリに読み込めません。");
    }

    TimeRecord record;
    if (time) {
      record.ordinal = ordinal;
      record.name = Used(header[0]);
      // Record 9, Format(I10,3I5,2(1X,20A1)): the unit label in columns 48 to 67.
      record.unit = Used(Field(header[8], 47, 20));
      record.abscissa = *abscissa;
      // No more than the rest of the file can hold (a value takes at least
      // two bytes of text), whatever the header claims.
      record.values.reserve(std::min(static_cast<std::size_t>(abscissa->points), (size - at) / 2 + 1));
    } else {
      ++parse.otherFunctions;
    }
    const auto points = static_cast<std::size_t>(abscissa->points);
    if (binary) {
      if (*floatFormat != kIeee) return fail(Ordinal(ordinal) + "の浮動小数点形式（" + std::to_string(*floatFormat) + "）は読めません。");
      if (static_cast<unsigned long long>(*byteCount) > size - at) return fail(Ordinal(ordinal) + "が途中で切れています。");
      if (time) {
        const std::size_t width = abscissa->ordinateType == kRealDouble ? 8 : 4;
        if (static_cast<unsigned long long>(*byteCount) < points * width) {
          return fail(Ordinal(ordinal) + "のデータが見出しの数より短くなっています。");
        }
        const bool big = *byteOrder != kLittleEndian;
        for (std::size_t i = 0; i < points; ++i) {
          const char* p = data + at + i * width;
          record.values.push_back(width == 8 ? static_cast<float>(FromBytes<double>(p, big)) : FromBytes<float>(p, big));
        }
      }
      at += static_cast<std::size_t>(*byteCount);
      // The end mark follows the binary values (on their line, or the next).
      std::string_view rest = NextLine(data, at, size);
      while (Trim(rest).empty() && at < size) rest = NextLine(data, at, size);
      if (!IsDelimiter(rest)) return fail(Ordinal(ordinal) + "のデータの後に終わりの印（-1）がありません。");
    } else {
      bool ended = false;
      while (at < size) {
        const std::string_view line = NextLine(data, at, size);
        if (IsDelimiter(line)) {
          ended = true;
          break;
        }
        if (!time) continue;
        for (std::size_t i = 0;;) {
          while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
          if (i >= line.size()) break;
          const std::optional<double> value = RealAt(line, i);
          if (!value) return fail(Ordinal(ordinal) + "のデータに数値でないものがあります：「" + std::string(Trim(line).substr(0, 40)) + "」");
          if (record.values.size() >= points) return fail(Ordinal(ordinal) + "のデータが見出しの数（" + std::to_string(points) + "）より多くあります。");
          record.values.push_back(static_cast<float>(*value));
        }
      }
      if (!ended) return fail(Ordinal(ordinal) + "が途中で切れています（終わりの印 -1 がありません）。");
    }
    if (time) {
      if (record.values.size() < points) {
        return fail(Ordinal(ordinal) + "のデータが " + std::to_string(record.values.size()) + " 個しかありません（見出しでは " +
                    std::to_string(points) + " 個）。");
      }
      parse.records.push_back(std::move(record));
    }
  }
  return parse;
}

std::string Short(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

}  // namespace

std::optional<double> RateFromIncrementText(std::string_view text) {
  text = Trim(text);
  const std::optional<double> increment = Real(text);
  if (!increment || !(*increment > 0.0) || !std::isfinite(*increment)) return std::nullopt;
  // Half a unit of the text's last digit.
  int fraction = 0;
  long long exponent = 0;
  const std::size_t point = text.find('.');
  std::size_t mark = text.find_first_of("EeDd");
  if (point != std::string_view::npos) {
    for (std::size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++fraction;
  }
  if (mark != std::string_view::npos) exponent = Integer(text.substr(mark + 1)).value_or(0);
  const double half = std::min(0.5 * std::pow(10.0, static_cast<double>(exponent - fraction)),
                               kMaxIncrementSlack * *increment);
  const double low = *increment - half;
  const double high = *increment + half;
  const double inverse = 1.0 / *increment;
  for (int digits = 1; digits <= 17; ++digits) {
    char printed[40];
    const auto result = std::to_chars(printed, printed + sizeof printed, inverse, std::chars_format::scientific, digits - 1);
    const double rate = ParseDecimal(std::string_view(printed, static_cast<std::size_t>(result.ptr - printed)));
    const double step = 1.0 / rate;
    if (step >= low * (1 - 1e-12) && step <= high * (1 + 1e-12)) return rate;
  }
  return inverse;
}

ReadResult ReadUff(const std::string& path, const ReadOptions& options, WaveData& record, const Progress* progress) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (std::optional<ReadResult> failed = UnopenableFile(path, file.get(), info)) return *failed;
  const auto size = static_cast<std::size_t>(info.st_size);
  if (!FitsInMemory(size)) return Refused("ファイルが大きすぎて、このコンピュータのメモリに読み込めません。");
  const std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(size + 1);
  for (std::size_t done = 0; done < size;) {
    const ssize_t got = ::pread(file.get(), bytes.get() + done, size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Refused("ファイルを最後まで読めませんでした。");
    if (got == 0) return ChangedWhileRead();
    done += static_cast<std::size_t>(got);
  }
  struct stat after {};
  if (::fstat(file.get(), &after) != 0 || after.st_size != info.st_size || after.st_mtim.tv_sec != info.st_mtim.tv_sec ||
      after.st_mtim.tv_nsec != info.st_mtim.tv_nsec) {
    return ChangedWhileRead();
  }

  ProgressTicker ticker(progress);
  Parse parse = ParseFile(bytes.get(), size, ticker);
  if (ticker.Cancelled()) return ReadCancelled();
  if (!parse.error.empty()) return Refused(parse.error);
  std::vector<TimeRecord>& records = parse.records;
  if (records.empty()) {
    return Refused("時刻歴のデータセット（58、関数の種類 1）がありません" +
                   (parse.otherFunctions > 0 ? "（ほかの種類のデータセット58が " + std::to_string(parse.otherFunctions) + " 個あります）" : std::string()) +
                   "。");
  }
  std::vector<std::string> warnings;
  const int fileChannels = static_cast<int>(records.size());
  if (fileChannels > kMaxChannels) {
    warnings.push_back(ChannelsLeftOutWarning(fileChannels));
    records.resize(kMaxChannels);
  }
  if (options.Names.size() > static_cast<std::size_t>(fileChannels)) {
    return Refused("名前が " + std::to_string(options.Names.size()) + " 個指定されていますが、チャンネルは " +
                   std::to_string(fileChannels) + " 個です。");
  }
  const TimeRecord& first = records.front();
  std::size_t samples = first.values.size();
  bool startsDiffer = false;
  for (const TimeRecord& channel : records) {
    const double a = first.abscissa.increment;
    const double b = channel.abscissa.increment;
    if (std::fabs(a - b) > kSameIncrement * std::max(a, b)) {
      return Refused("データセットによって時間の刻みが異なります（" + Ordinal(first.ordinal) + "は " + Short(a) + " 秒、" +
                     Ordinal(channel.ordinal) + "は " + Short(b) + " 秒）。");
    }
    samples = std::min(samples, channel.values.size());
    startsDiffer = startsDiffer || channel.abscissa.start != first.abscissa.start;
  }
  for (const TimeRecord& channel : records) {
    if (channel.values.size() != samples) {
      warnings.push_back("チャンネルのデータ数が異なるため、最も短い " + std::to_string(samples) + " 個にそろえました。");
      break;
    }
  }
  if (startsDiffer) warnings.push_back("チャンネルによって開始時刻が異なります（時刻をそろえずに読み込みました）。");
  if (parse.otherFunctions > 0) {
    warnings.push_back("時刻歴でないデータセット58（周波数応答など）を " + std::to_string(parse.otherFunctions) +
                       " 個読み飛ばしました。");
  }
  const double rate = RateFromIncrementText(first.abscissa.incrementText).value_or(1.0 / first.abscissa.increment);
  if (!(rate >= kMinRate && rate <= kMaxRate)) {
    return Refused("サンプリング周波数 " + Short(rate) + " /s は扱えません（0.000001 から 2147483647 まで）。");
  }

  const int channels = static_cast<int>(records.size());
  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  for (int k = 0; k < channels; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    std::string name = records[slot].name.empty() ? "ch" + std::to_string(k + 1) : records[slot].name;
    if (slot < options.Names.size()) name = options.Names[slot];
    CopyToSlot(name, names[slot]);
    CopyToSlot(options.Unit.value_or(records[slot].unit), units[slot]);
  }
  record.ChannelCount = channels;
  record.SampleCount = static_cast<std::int32_t>(samples);
  record.Rate = rate;
  record.Dt = static_cast<float>(1.0 / rate);
  record.Names = names;
  record.Units = units;
  for (int k = 0; k < kMaxChannels; ++k) {
    std::vector<float> values;
    if (k < channels) {
      values = std::move(records[static_cast<std::size_t>(k)].values);
      values.resize(samples);
    }
    record.Samples[static_cast<std::size_t>(k)] = std::move(values);
  }
  ticker.Done();

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = record.SampleCount;
  result.warnings = std::move(warnings);
  return result;
}
