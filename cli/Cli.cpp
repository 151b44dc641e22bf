#include "cli/Cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "analysis/Acceptance.h"
#include "analysis/BandPass.h"
#include "components/qt/DisplayText.h"
#include "io/NumberText.h"
#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "io/ResultsFile.h"

int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const CliParse parse = ParseCliArguments(args);
  switch (parse.action) {
    case CliParse::Action::Help:
      std::fputs(kCliUsage, out);
      return kExitOk;
    case CliParse::Action::Version:
      std::fputs("oscalyx-cli 2.0\n", out);
      return kExitOk;
    case CliParse::Action::Error:
      std::fprintf(err, "oscalyx-cli: %s\n%s", parse.error.c_str(), kCliUsage);
      return kExitUsage;
    case CliParse::Action::Run:
      break;
  }
  const CliOptions& options = parse.options;
  if (options.command == "info") return RunInfo(options, out, err);
  if (options.command == "convert") return RunConvert(options, out, err);
  if (options.command == "fit") return RunFit(options, out, err);
  if (options.command == "sweep") return RunSweep(options, out, err);
  if (options.command == "rd") return RunRd(options, out, err);
  return RunPlot(options, out, err);
}

FileKind ChosenFileKind(const CliOptions& options) {
  if (options.type) return *options.type;
  const std::string& path = options.positional[0];
  if (path.size() >= 4) {
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".dbl") return FileKind::Spc51;
  }
  return FileKind::Csv;
}

int LoadRecord(const CliOptions& options, WaveData& record, std::string& timeLabel, std::FILE* err) {
  const std::string& path = options.positional[0];
  record.SourceKind = ChosenFileKind(options);
  if (!SetRecordPath(record, path)) {
    PrintError(err, "ファイルのパスが長すぎます（255バイトまで）");
    return kExitFailure;
  }
  const ReadResult result =
      record.SourceKind == FileKind::Spc51 ? ReadSpc51(path, record) : ReadCsv(path, record);
  if (!result.ok()) {
    PrintError(err, result.message);
    return kExitFailure;
  }
  record.Dt = static_cast<float>(1.0 / record.Rate);
  timeLabel = result.timeLabel;
  if (options.bandPass) {
    const float lower = static_cast<float>((1.0 - options.ratio) * options.centre);
    const float upper = static_cast<float>((1.0 + options.ratio) * options.centre);
    const FilterResult filtered = FilterAllChannels(record, lower, upper);
    if (!filtered.Ok) {
      PrintError(err, filtered.Message);
      return kExitFailure;
    }
  }
  return kExitOk;
}

std::string InitialFrequencyText(int rate) { return FormatFixed(rate * 0.02, 1); }

std::string DisplayUtf8(const std::string& bytes) { return DisplayTextUtf8(bytes); }

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void PrintError(std::FILE* err, const std::string& message) { std::fprintf(err, "%s\n", message.c_str()); }

double InitialFrequency(const CliOptions& options, int rate) {
  return options.f0 ? *options.f0 : ParseDecimal(InitialFrequencyText(rate));
}

CliEvaluation EvaluateChannel(const WaveData& record, int index, const CliOptions& options, std::int64_t start) {
  CliEvaluation evaluation;
  evaluation.Fit = EvaluateStretch(record.Samples[static_cast<std::size_t>(index)], record.Rate, record.Dt, start,
                                   options.width, InitialFrequency(options, record.Rate), options.h0);
  if (evaluation.Fit.Ok()) evaluation.Errors = EvaluationStandardErrors(evaluation.Fit.Points, evaluation.Fit.Result);
  return evaluation;
}

std::string FileRow(const WaveData& record, int index, const FitResult& r) {
  return FormatResultRow(SlotText(record.FileName), index + 1, SlotText(record.Names[static_cast<std::size_t>(index)]),
                         r.A, r.Wn, r.H, r.Phi, r.Ratio);
}

std::string DisplayRow(const WaveData& record, int index, const FitResult& r) {
  std::string row = FormatResultRow(DisplayUtf8(std::string(SlotText(record.FileName))), index + 1,
                                    DisplayUtf8(std::string(SlotText(record.Names[static_cast<std::size_t>(index)]))),
                                    r.A, r.Wn, r.H, r.Phi, r.Ratio);
  row.resize(row.size() - 2);  // the CR LF of the file
  return row;
}

std::string RealText(double value) {
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
  return std::string(buffer, result.ptr);
}

namespace {

// JSON has no spelling for infinities or NaN: those are null.
std::string JsonReal(double value) { return std::isfinite(value) ? RealText(value) : "null"; }

}  // namespace

std::string FitJson(const CliEvaluation& evaluation, const std::string& displayRow) {
  const FitResult& r = evaluation.Fit.Result;
  std::string json = "{\"A\": " + JsonReal(r.A);
  json += ", \"wn\": " + JsonReal(r.Wn);
  json += ", \"f\": " + JsonReal(r.F);
  json += ", \"T\": " + JsonReal(r.T);
  json += ", \"h\": " + JsonReal(r.H);
  json += ", \"phi\": " + JsonReal(r.Phi);
  json += ", \"ratio\": " + JsonReal(r.Ratio);
  json += ", \"passes\": " + std::to_string(r.Passes);
  json += IsAccepted(r.Ratio) ? ", \"accepted\": true" : ", \"accepted\": false";
  json += ", \"row\": " + JsonString(displayRow);
  if (const auto& se = evaluation.Errors) {
    json += ", \"se\": {\"A\": " + JsonReal(se->A) + ", \"wn\": " + JsonReal(se->Wn) + ", \"f\": " + JsonReal(se->F) +
            ", \"h\": " + JsonReal(se->H) + ", \"phi\": " + JsonReal(se->Phi) + "}";
  } else {
    json += ", \"se\": null";
  }
  return json + "}";
}

bool AppendResultsRows(const std::string& path, const std::vector<std::string>& rows, std::FILE* err) {
  std::error_code ignored;
  const bool isNew = !std::filesystem::exists(path, ignored);
  std::FILE* file = std::fopen(path.c_str(), "ab");
  bool ok = file != nullptr;
  if (ok && isNew) ok = std::fputs(ResultsHeaderLine().c_str(), file) >= 0;
  for (const std::string& row : rows) {
    if (ok) ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
  }
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  if (!ok) PrintError(err, "結果ファイルに書き込めません: " + path);
  return ok;
}

bool WriteReplacing(const std::string& path, const std::function<std::string(const std::string&)>& write,
                    std::FILE* err) {
  std::string temporary = path + ".XXXXXX";
  const int descriptor = ::mkstemp(temporary.data());
  if (descriptor < 0) {
    PrintError(err, "出力ファイルを作成できません：" + path + "。");
    return false;
  }
  ::close(descriptor);
  std::string message = write(temporary);
  // mkstemp made the file for its owner only; the output gets the permissions
  // of any file the user creates.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (message.empty() && ::chmod(temporary.c_str(), 0666 & ~mask) != 0) {
    message = "出力ファイルの属性を設定できません：" + path + "。";
  }
  if (message.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) {
    message = "出力ファイルを置き換えられません：" + path + "。";
  }
  if (message.empty()) return true;
  std::remove(temporary.c_str());
  PrintError(err, message);
  return false;
}

bool FinishOutput(std::FILE* out, std::FILE* err) {
  if (std::fflush(out) == 0 && std::ferror(out) == 0) return true;
  PrintError(err, "標準出力に書き込めません。");
  return false;
}
