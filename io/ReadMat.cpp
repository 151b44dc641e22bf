#include "io/ReadMat.h"

#include <matio.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>

#include "io/LoadedLibrary.h"
#include "io/MatStructure.h"
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

Matio& Library() { return LoadedOnce<Matio>(); }

std::string NoLibraryMessage() {
  return "MATLABファイルを読むためのライブラリ（" + Library().library.Name() + "）が見つかりません。";
}

// matio reports problems through a log that by default writes to stderr (and
// may end the program); its messages are kept instead, the last one for the
// refusal's text. HDF5's come as an indented trace over several lines: they
// are kept as one line.
thread_local std::string lastMatioMessage;

void KeepMatioMessage(int, char* message) {
  lastMatioMessage.clear();
  bool blank = false;
  for (const char* p = message; p != nullptr && *p != '\0'; ++p) {
    const bool space = *p == ' ' || *p == '\t' || *p == '\n' || *p == '\r';
    if (!space && blank && !lastMatioMessage.empty()) lastMatioMessage += ' ';
    if (!space) lastMatioMessage += *p;
    blank = space;
  }
}

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
  if (const std::optional<std::string> problem = MatFileProblem(path)) {
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
  if (::stat(path.c_str(), &info) != 0) return CannotOpen(path, errno);
  if (!S_ISREG(info.st_mode)) return CannotOpen(path, 0);
  ProgressTicker ticker(progress);
  if (ticker.Cancelled()) return ReadCancelled();
  if (const std::optional<std::string> problem = MatFileProblem(path)) return Refused(*problem);

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
