#include "io/ReadMat.h"

#include <fcntl.h>
#include <matio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>

#include "io/FileHandle.h"
#include "io/LoadedLibrary.h"
#include "io/ProgressTicker.h"
#include "io/ReadCsv.h"

namespace {

constexpr double kMinRate = 1e-6;
constexpr double kMaxRate = INT_MAX;

// matio and the HDF5 library under it keep global state and are not made for
// two threads at once: every use goes through this lock.
std::mutex& MatioLock() {
  static std::mutex lock;
  return lock;
}

// matio's functions, from the library opened when a MATLAB file is first read.
struct Matio {
  LoadedLibrary library{OSCALYX_MATIO_SONAME};
  decltype(&Mat_Open) open = library.Get<decltype(&Mat_Open)>("Mat_Open");
  decltype(&Mat_Close) close = library.Get<decltype(&Mat_Close)>("Mat_Close");
  decltype(&Mat_Rewind) rewind = library.Get<decltype(&Mat_Rewind)>("Mat_Rewind");
  decltype(&Mat_VarReadNextInfo) nextInfo = library.Get<decltype(&Mat_VarReadNextInfo)>("Mat_VarReadNextInfo");
  decltype(&Mat_VarReadInfo) info = library.Get<decltype(&Mat_VarReadInfo)>("Mat_VarReadInfo");
  decltype(&Mat_VarRead) read = library.Get<decltype(&Mat_VarRead)>("Mat_VarRead");
  decltype(&Mat_VarFree) free = library.Get<decltype(&Mat_VarFree)>("Mat_VarFree");
  decltype(&Mat_LogInitFunc) logTo = library.Get<decltype(&Mat_LogInitFunc)>("Mat_LogInitFunc");
};

Matio& Library() {
  static Matio library;
  return library;
}

std::string NoLibraryMessage() {
  return "MATLABファイルを読むためのライブラリ（" + Library().library.Name() + "）が見つかりません。";
}

// matio reports problems through a log that by default writes to stderr (and
// may end the program); its messages are kept instead, the last one for the
// refusal's text.
thread_local std::string lastMatioMessage;

void KeepMatioMessage(int, char* message) { lastMatioMessage = message != nullptr ? message : ""; }

void QuietMatio() {
  static std::once_flag once;
  std::call_once(once, [] { Library().logTo("oscalyx", KeepMatioMessage); });
}

struct MatFile {
  mat_t* file = nullptr;
  explicit MatFile(const std::string& path) : file(Library().open(path.c_str(), MAT_ACC_RDONLY)) {}
  ~MatFile() {
    if (file != nullptr) Library().close(file);
  }
  MatFile(const MatFile&) = delete;
  MatFile& operator=(const MatFile&) = delete;
};

struct Variable {
  matvar_t* value = nullptr;
  explicit Variable(matvar_t* v) : value(v) {}
  ~Variable() {
    if (value != nullptr) Library().free(value);
  }
  Variable(const Variable&) = delete;
  Variable& operator=(const Variable&) = delete;
};

const char* ClassName(matio_classes type) {
  switch (type) {
    case MAT_C_DOUBLE: return "double";
    case MAT_C_SINGLE: return "single";
    case MAT_C_INT8: return "int8";
    case MAT_C_UINT8: return "uint8";
    case MAT_C_INT16: return "int16";
    case MAT_C_UINT16: return "uint16";
    case MAT_C_INT32: return "int32";
    case MAT_C_UINT32: return "uint32";
    case MAT_C_INT64: return "int64";
    case MAT_C_UINT64: return "uint64";
    case MAT_C_CELL: return "cell";
    case MAT_C_STRUCT: return "struct";
    case MAT_C_CHAR: return "char";
    case MAT_C_SPARSE: return "sparse";
    default: return "other";
  }
}

bool IsNumeric(matio_classes type) { return type >= MAT_C_DOUBLE && type <= MAT_C_UINT64; }

MatVariable Describe(const matvar_t& variable) {
  MatVariable described;
  described.Name = variable.name != nullptr ? variable.name : "";
  described.Kind = ClassName(variable.class_type);
  if (variable.isLogical) described.Kind = "logical";
  if (variable.isComplex) described.Kind += " complex";
  if (variable.rank == 2 && variable.dims != nullptr) {
    described.Rows = variable.dims[0];
    described.Columns = variable.dims[1];
  }
  described.Readable = IsNumeric(variable.class_type) && !variable.isComplex && !variable.isLogical &&
                       variable.rank == 2 && described.Rows * described.Columns > 1;
  return described;
}

std::vector<MatVariable> List(mat_t* file) {
  std::vector<MatVariable> variables;
  Library().rewind(file);
  while (true) {
    const Variable next(Library().nextInfo(file));
    if (next.value == nullptr) break;
    variables.push_back(Describe(*next.value));
  }
  return variables;
}

std::string Shape(const MatVariable& variable) {
  return variable.Name + " (" + std::to_string(variable.Rows) + "×" + std::to_string(variable.Columns) + ", " +
         variable.Kind + ")";
}

std::string Listed(const std::vector<MatVariable>& variables, bool readableOnly) {
  std::string text;
  for (const MatVariable& variable : variables) {
    if (readableOnly && !variable.Readable) continue;
    if (!text.empty()) text += "、";
    text += variable.Rows != 0 || variable.Columns != 0 ? Shape(variable) : variable.Name + " (" + variable.Kind + ")";
  }
  return text.empty() ? "なし" : text;
}

std::string CannotReadMessage() {
  return "MATLABファイルとして読めません" + (lastMatioMessage.empty() ? std::string() : "（" + lastMatioMessage + "）") + "。";
}

// Column `column` of the array's values as floats.
template <typename T>
void Column(const void* data, std::size_t rows, std::size_t column, std::vector<float>& out) {
  const T* values = static_cast<const T*>(data) + rows * column;
  out.resize(rows);
  for (std::size_t i = 0; i < rows; ++i) out[i] = static_cast<float>(static_cast<double>(values[i]));
}

bool ColumnOf(const matvar_t& variable, std::size_t rows, std::size_t column, std::vector<float>& out) {
  switch (variable.class_type) {
    case MAT_C_DOUBLE: Column<double>(variable.data, rows, column, out); return true;
    case MAT_C_SINGLE: Column<float>(variable.data, rows, column, out); return true;
    case MAT_C_INT8: Column<std::int8_t>(variable.data, rows, column, out); return true;
    case MAT_C_UINT8: Column<std::uint8_t>(variable.data, rows, column, out); return true;
    case MAT_C_INT16: Column<std::int16_t>(variable.data, rows, column, out); return true;
    case MAT_C_UINT16: Column<std::uint16_t>(variable.data, rows, column, out); return true;
    case MAT_C_INT32: Column<std::int32_t>(variable.data, rows, column, out); return true;
    case MAT_C_UINT32: Column<std::uint32_t>(variable.data, rows, column, out); return true;
    case MAT_C_INT64: Column<std::int64_t>(variable.data, rows, column, out); return true;
    case MAT_C_UINT64: Column<std::uint64_t>(variable.data, rows, column, out); return true;
    default: return false;
  }
}

std::size_t ElementBytes(matio_classes type) {
  switch (type) {
    case MAT_C_DOUBLE: case MAT_C_INT64: case MAT_C_UINT64: return 8;
    case MAT_C_SINGLE: case MAT_C_INT32: case MAT_C_UINT32: return 4;
    case MAT_C_INT16: case MAT_C_UINT16: return 2;
    default: return 1;
  }
}

// The structure of a version 5 file, checked before matio reads it: matio
// takes the lengths in the file's tags as they are and allocates by them, so a
// damaged or hostile file could make it ask for gigabytes. Every data
// element's length must lie within the element around it (the file, a
// matrix, a compressed element once inflated).
constexpr std::size_t kMat5Header = 128;
constexpr std::uint32_t kMiMatrix = 14;
constexpr std::uint32_t kMiCompressed = 15;
constexpr int kMaxNesting = 32;

std::uint32_t Word32(const unsigned char* p, bool swap) {
  std::uint32_t value;
  std::memcpy(&value, p, 4);
  return swap ? __builtin_bswap32(value) : value;
}

// Inflates a compressed element, as long as it stays within what the record
// could take; nothing when it is damaged or larger.
std::optional<std::vector<unsigned char>> Inflate(const unsigned char* p, std::size_t n) {
  std::vector<unsigned char> out(std::max<std::size_t>(n * 4, 4096));
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  stream.next_in = const_cast<unsigned char*>(p);
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(n, UINT_MAX));
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.total_out == out.size()) {
      if (!FitsInMemory(out.size() * 2)) break;
      out.resize(out.size() * 2);
    }
    stream.next_out = out.data() + stream.total_out;
    stream.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - stream.total_out, UINT_MAX));
    status = inflate(&stream, Z_NO_FLUSH);
  }
  const std::size_t produced = stream.total_out;
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  out.resize(produced);
  return out;
}

struct Element {
  std::uint32_t type = 0;
  const unsigned char* data = nullptr;
  std::size_t bytes = 0;
};

// The data elements of [p, p + n), each within it; nothing when a length
// points past the end.
std::optional<std::vector<Element>> Elements(const unsigned char* p, std::size_t n, bool swap, bool top) {
  std::vector<Element> elements;
  std::size_t at = 0;
  while (at + 8 <= n) {
    const std::uint32_t type = Word32(p + at, swap);
    if ((type >> 16) != 0) {  // a small element: its length and type in one word, its data in the next
      if ((type >> 16) > 4) return std::nullopt;
      elements.push_back({type & 0xFFFF, p + at + 4, type >> 16});
      at += 8;
      continue;
    }
    const std::uint32_t bytes = Word32(p + at + 4, swap);
    if (bytes > n - at - 8) return std::nullopt;
    elements.push_back({type, p + at + 8, bytes});
    // Compressed elements (top level only) are not padded; others are, to 8 bytes.
    at += 8 + (top && type == kMiCompressed ? bytes : (static_cast<std::size_t>(bytes) + 7) / 8 * 8);
  }
  return elements;
}

// The bytes of one value of a data type of the format, 0 for none.
std::size_t StorageBytes(std::uint32_t type) {
  switch (type) {
    case 1: case 2: case 16: return 1;           // int8, uint8, utf8
    case 3: case 4: case 17: return 2;           // int16, uint16, utf16
    case 5: case 6: case 7: case 18: return 4;   // int32, uint32, single, utf32
    case 9: case 12: case 13: return 8;          // double, int64, uint64
    default: return 0;
  }
}

constexpr std::uint32_t kMiInt8 = 1;
constexpr std::uint32_t kMiInt32 = 5;
constexpr std::uint32_t kMiUint32 = 6;
constexpr std::uint32_t kSparseClass = 5;
constexpr std::uint32_t kComplexFlag = 0x0800;
constexpr std::size_t kMaxRank = 32;
constexpr std::size_t kMaxNameBytes = 4096;

bool CheckMatrix(const unsigned char* p, std::size_t n, bool swap, int depth);

// The file's variables: only matrices, plain or compressed, none empty.
bool CheckVariables(const std::vector<Element>& elements) {
  for (const Element& element : elements) {
    if ((element.type != kMiMatrix && element.type != kMiCompressed) || element.bytes == 0) return false;
  }
  return true;
}

// Every nested matrix of a list of elements, and compressed ones inflated.
bool CheckNested(const std::vector<Element>& elements, bool swap, int depth) {
  for (const Element& element : elements) {
    if (element.type == kMiMatrix && !CheckMatrix(element.data, element.bytes, swap, depth + 1)) return false;
    if (element.type == kMiCompressed) {
      if (depth > 0) return false;
      const std::optional<std::vector<unsigned char>> inflated = Inflate(element.data, element.bytes);
      if (!inflated) return false;
      const auto inner = Elements(inflated->data(), inflated->size(), swap, false);
      if (!inner || inner->size() != 1 || !CheckVariables(*inner) || !CheckNested(*inner, swap, depth + 1)) return false;
    }
  }
  return true;
}

// A matrix: its flags, dimensions and name as the format has them, and as
// many values as its dimensions say (or, for cells and structures, room for
// them), so that nothing matio allocates by them is more than the file holds.
bool CheckMatrix(const unsigned char* p, std::size_t n, bool swap, int depth) {
  if (depth > kMaxNesting) return false;
  if (n == 0) return true;  // an empty cell or field
  const auto parts = Elements(p, n, swap, false);
  if (!parts || parts->size() < 3) return false;
  const Element& flags = (*parts)[0];
  const Element& dims = (*parts)[1];
  const Element& name = (*parts)[2];
  if (flags.type != kMiUint32 || flags.bytes < 8) return false;
  if (dims.type != kMiInt32 || dims.bytes % 4 != 0 || dims.bytes < 8 || dims.bytes > 4 * kMaxRank) return false;
  if (name.type != kMiInt8 || name.bytes > kMaxNameBytes) return false;
  const std::uint32_t word = Word32(flags.data, swap);
  const std::uint32_t matrixClass = word & 0xFF;
  unsigned long long elements = 1;
  for (std::size_t k = 0; k < dims.bytes / 4; ++k) {
    const auto extent = static_cast<std::int32_t>(Word32(dims.data + 4 * k, swap));
    if (extent < 0) return false;
    elements *= static_cast<unsigned long long>(extent);
    if (elements > n * 8ULL + 8) break;
  }
  // Every class but the sparse one holds at least a byte per element.
  if (matrixClass != kSparseClass && elements > n) return false;
  if (matrixClass >= 6 && matrixClass <= 15 && elements > 0) {
    const bool complex = (word & kComplexFlag) != 0;
    for (std::size_t part = 3; part < (complex ? 5u : 4u); ++part) {
      if (parts->size() <= part) return false;
      const std::size_t size = StorageBytes((*parts)[part].type);
      if (size == 0 || (*parts)[part].bytes != elements * size) return false;
    }
  }
  return CheckNested(*parts, swap, depth);
}

bool CheckElements(const unsigned char* p, std::size_t n, bool swap) {
  const auto elements = Elements(p, n, swap, true);
  return elements && CheckVariables(*elements) && CheckNested(*elements, swap, 0);
}

// Why the file is no MATLAB file matio should read, or nothing.
std::optional<std::string> Mat5Problem(const std::string& path) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) return std::string(kCannotOpenMessage);
  const auto size = static_cast<std::size_t>(info.st_size);
  if (!FitsInMemory(size)) return std::string("ファイルが大きすぎて、このコンピュータのメモリに読み込めません。");
  std::vector<unsigned char> bytes(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(file.get(), bytes.data() + done, size - done, static_cast<off_t>(done));
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done < kMat5Header || done != size) return std::string("MATLABファイルとして読めません（ヘッダが不完全です）。");
  const unsigned char* header = bytes.data();
  const bool little = header[126] == 'I' && header[127] == 'M';
  const bool big = header[126] == 'M' && header[127] == 'I';
  const unsigned version = little ? header[124] | header[125] << 8 : header[124] << 8 | header[125];
  if (!little && !big) return std::string("MATLAB v5 か v7.3 のファイルではありません。");
  if (version == 0x0200) return std::nullopt;  // v7.3: an HDF5 file behind the header
  if (version != 0x0100) return std::string("MATLAB v5 か v7.3 のファイルではありません。");
  if (!CheckElements(header + kMat5Header, size - kMat5Header, big)) {
    return std::string("MATLABファイルが壊れています（データの長さがファイルと合いません）。");
  }
  return std::nullopt;
}

bool SameState(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

std::vector<MatVariable> ListMatVariables(const std::string& path, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = kCannotOpenMessage;
    return {};
  }
  if (const std::optional<std::string> problem = Mat5Problem(path)) {
    error = *problem;
    return {};
  }
  const std::lock_guard lock(MatioLock());
  if (!Library().library.Ok()) {
    error = NoLibraryMessage();
    return {};
  }
  QuietMatio();
  lastMatioMessage.clear();
  const MatFile file(path);
  if (file.file == nullptr) {
    error = CannotReadMessage();
    return {};
  }
  return List(file.file);
}

ReadResult ReadMat(const std::string& path, const ReadOptions& options, WaveData& record, const Progress* progress) {
  if (!options.Rate) return Refused("MATLABファイルにはサンプリング周波数の指定（--rate）が必要です。");
  if (!(*options.Rate >= kMinRate && *options.Rate <= kMaxRate)) {
    return Refused("サンプリング周波数は 0.000001 から 2147483647 までで指定してください。");
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return CannotOpen();
  ProgressTicker ticker(progress);
  if (ticker.Cancelled()) return ReadCancelled();
  if (const std::optional<std::string> problem = Mat5Problem(path)) return Refused(*problem);

  const std::lock_guard lock(MatioLock());
  if (!Library().library.Ok()) return Refused(NoLibraryMessage());
  QuietMatio();
  lastMatioMessage.clear();
  const MatFile file(path);
  if (file.file == nullptr) return Refused(CannotReadMessage());
  const std::vector<MatVariable> variables = List(file.file);
  // matio takes almost any file for one of the old formats: one in which it
  // finds no variable at all is no MATLAB file of a record.
  if (variables.empty()) {
    return Refused("MATLABファイルとして読めないか、変数が一つもありません" +
                   (lastMatioMessage.empty() ? std::string() : "（" + lastMatioMessage + "）") + "。");
  }

  // Which array.
  const MatVariable* chosen = nullptr;
  if (!options.Variable.empty()) {
    for (const MatVariable& variable : variables) {
      if (variable.Name == options.Variable) chosen = &variable;
    }
    if (chosen == nullptr) {
      return Refused("変数「" + options.Variable + "」がありません（このファイルの変数：" + Listed(variables, false) + "）。");
    }
    if (!chosen->Readable) {
      return Refused("変数「" + options.Variable + "」は実数の2次元の数値配列ではありません（" +
                     Listed({*chosen}, false) + "）。");
    }
  } else {
    const long candidates = std::count_if(variables.begin(), variables.end(), [](const MatVariable& v) { return v.Readable; });
    if (candidates == 0) {
      return Refused("実数の2次元の数値配列がありません（このファイルの変数：" + Listed(variables, false) + "）。");
    }
    if (candidates > 1) {
      return Refused("実数の2次元の数値配列が複数あります。読み込む変数を --variable で選んでください：" +
                     Listed(variables, true) + "。");
    }
    chosen = &*std::find_if(variables.begin(), variables.end(), [](const MatVariable& v) { return v.Readable; });
  }

  // A row vector is one channel; otherwise the columns are.
  const bool rowVector = chosen->Rows == 1;
  const std::size_t samples = rowVector ? chosen->Columns : chosen->Rows;
  const std::size_t fileChannels = rowVector ? 1 : chosen->Columns;
  const int channels = static_cast<int>(std::min<std::size_t>(fileChannels, kMaxChannels));
  if (samples > INT_MAX) return Refused("データの行数が多すぎます。");
  if (options.Names.size() > fileChannels) {
    return Refused("名前が " + std::to_string(options.Names.size()) + " 個指定されていますが、チャンネルは " +
                   std::to_string(fileChannels) + " 個です。");
  }
  {
    const Variable shape(Library().info(file.file, chosen->Name.c_str()));
    const std::size_t element = shape.value != nullptr ? ElementBytes(shape.value->class_type) : 8;
    if (!FitsInMemory(static_cast<unsigned long long>(samples) * fileChannels * element +
                      static_cast<unsigned long long>(samples) * static_cast<unsigned>(channels) * sizeof(float))) {
      return Refused("データが大きすぎて、このコンピュータのメモリに読み込めません。");
    }
  }
  const Variable array(Library().read(file.file, chosen->Name.c_str()));
  if (array.value == nullptr || array.value->data == nullptr) return Refused(CannotReadMessage());
  // The array read must be the one listed (a file may name two alike), with
  // all its values.
  const matvar_t& read = *array.value;
  const std::size_t element = ElementBytes(read.class_type);
  if (read.rank != 2 || read.dims == nullptr || read.dims[0] != chosen->Rows || read.dims[1] != chosen->Columns ||
      read.isComplex || !IsNumeric(read.class_type) || read.data_size != static_cast<int>(element) ||
      read.nbytes < chosen->Rows * chosen->Columns * element) {
    return Refused("MATLABファイルが壊れています（変数「" + chosen->Name + "」の値が大きさと合いません）。");
  }
  ticker.At(0.5);
  if (ticker.Cancelled()) return ReadCancelled();
  std::array<std::vector<float>, kMaxChannels> values;
  for (int k = 0; k < channels; ++k) {
    if (!ColumnOf(*array.value, samples, static_cast<std::size_t>(k), values[static_cast<std::size_t>(k)])) {
      return Refused(CannotReadMessage());
    }
  }
  struct stat after {};
  if (::stat(path.c_str(), &after) != 0 || !SameState(info, after)) return ChangedWhileRead();

  std::vector<std::string> warnings;
  if (fileChannels > kMaxChannels) {
    std::string warning = ChannelsLeftOutWarning(static_cast<int>(fileChannels));
    if (chosen->Rows < chosen->Columns) {
      warning += "列をチャンネルとして読んでいます。行がチャンネルなら、転置して保存してください。";
    }
    warnings.push_back(warning);
  }
  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  for (int k = 0; k < channels; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    std::string name = fileChannels == 1 ? chosen->Name : chosen->Name + "(:," + std::to_string(k + 1) + ")";
    if (slot < options.Names.size()) name = options.Names[slot];
    CopyToSlot(name, names[slot]);
    CopyToSlot(options.Unit.value_or(""), units[slot]);
  }
  record.ChannelCount = channels;
  record.SampleCount = static_cast<std::int32_t>(samples);
  record.Rate = *options.Rate;
  record.Dt = static_cast<float>(1.0 / record.Rate);
  record.Names = names;
  record.Units = units;
  for (int k = 0; k < kMaxChannels; ++k) record.Samples[static_cast<std::size_t>(k)] = std::move(values[static_cast<std::size_t>(k)]);
  ticker.Done();

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = record.SampleCount;
  result.warnings = std::move(warnings);
  return result;
}
