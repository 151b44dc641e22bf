#include "io/WriteCsv.h"

#include <cerrno>
#include <charconv>

#include "io/NumberText.h"
#include "io/ProgressTicker.h"
#include "io/ReplacingFile.h"
#include "io/ShiftJisText.h"
#include "io/SystemErrorText.h"

namespace {

constexpr char kLineEnd[] = "\r\n";

enum class Written { Whole, Failed, Cancelled };

// The whole record onto `out`; Failed with `error` set when a write failed.
void AppendExact(std::string& out, float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::general, 9);
  out.append(buffer, result.ptr);
}

Written WriteRecord(std::FILE* out, const WaveData& record, const Progress* progress, CsvValues values,
                    int& error) {
  const int channels = record.ChannelCount;
  std::string text;
  for (int k = 0; k < channels; ++k) {
    if (k > 0) text += ',';
    text += FieldText(SlotText(record.Names[k]));
  }
  text += kLineEnd;
  text += RateText(record.Rate) + ",s" + kLineEnd;
  if (!record.Memo.empty()) {
    text += FieldText(ShiftJisText(record.Memo));
  } else {
    text += "MEMO1";
    for (int k = 2; k <= channels; ++k) text += ",MEMO" + std::to_string(k);
  }
  text += kLineEnd;
  for (int k = 0; k < channels; ++k) {
    if (k > 0) text += ',';
    text += FieldText(SlotText(record.Units[k]));
  }
  text += kLineEnd;

  constexpr std::size_t kFlushAt = 1 << 20;
  ProgressTicker ticker(progress);
  bool ok = true;
  for (int i = 0; i < record.SampleCount && ok; ++i) {
    for (int k = 0; k < channels; ++k) {
      if (k > 0) text += ',';
      const float value = record.Samples[k][static_cast<std::size_t>(i)];
      if (values == CsvValues::Exact) AppendExact(text, value);
      else AppendFixed(text, value, 6);
    }
    text += kLineEnd;
    if (text.size() >= kFlushAt) {
      if (ticker.Cancelled()) return Written::Cancelled;
      ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
      text.clear();
      ticker.At(static_cast<double>(i) / record.SampleCount);
    }
  }
  if (ok && !text.empty()) ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (ok) ok = std::fflush(out) == 0;
  if (!ok) {
    error = errno != 0 ? errno : EIO;
    return Written::Failed;
  }
  // A stop asked for after the last report is still in time.
  return ticker.Cancelled() ? Written::Cancelled : Written::Whole;
}

WriteResult Cancelled() {
  WriteResult result;
  result.ok = false;
  result.cancelled = true;
  return result;
}

WriteResult Failure(const std::string& what, int error) { return {false, what + "：" + SystemErrorText(error) + "。"}; }

}  // namespace

WriteResult WriteCsvTo(std::FILE* out, const WaveData& record, const Progress* progress, CsvValues values) {
  int error = 0;
  switch (WriteRecord(out, record, progress, values, error)) {
    case Written::Whole:
      if (progress != nullptr) progress->At(1.0);
      return {};
    case Written::Cancelled: return Cancelled();
    case Written::Failed: break;
  }
  return Failure("CSVデータを書き込めません", error);
}

WriteResult WriteCsv(const std::string& path, const WaveData& record, const Progress* progress, CsvValues values) {
  ReplacingFile file(path);
  if (!file.ok()) return {false, "CSVファイル「" + path + "」を作成できません：" + file.errorText() + "。"};
  int error = 0;
  switch (WriteRecord(file.stream(), record, progress, values, error)) {
    case Written::Whole: break;
    case Written::Cancelled: return Cancelled();  // the temporary file goes with `file`
    case Written::Failed: return Failure("CSVファイル「" + path + "」に書き込めません", error);
  }
  if (!file.Commit()) return {false, "CSVファイル「" + path + "」に書き込めません：" + file.errorText() + "。"};
  if (progress != nullptr) progress->At(1.0);
  return {};
}

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (path.find('.', nameStart) != std::string::npos) return path;
  return path + extension;
}
