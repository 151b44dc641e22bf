#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <set>

#include "analysis/BandPass.h"
#include "analysis/ResultRows.h"
#include "components/Version.h"
#include "components/qt/DisplayText.h"
#include "io/NumberText.h"
#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "io/ResultsFile.h"
#include "io/SystemErrorText.h"

namespace {

int RunCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const CliParse parse = ParseCliArguments(args);
  switch (parse.action) {
    case CliParse::Action::Help:
      std::fputs(kCliUsage, out);
      return kExitOk;
    case CliParse::Action::Version:
      std::fprintf(out, "oscalyx-cli %s\n", kVersion);
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
  return RunPlot(options, out, err);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const int status = RunCommand(args, out, err);
  // Output that never reached its file (a full disk, a closed pipe) is not a
  // success, whatever the command made of it.
  errno = 0;
  const bool flushed = std::fflush(out) == 0;
  const int error = errno != 0 ? errno : EIO;
  if ((!flushed || std::ferror(out)) && status == kExitOk) {
    PrintError(err, "標準出力に書き込めません：" + SystemErrorText(error) + "。");
    return kExitFailure;
  }
  return status;
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
    // The band's upper transition edge must stay below half of this record's
    // sampling rate, known only now.
    if (const std::optional<std::string> problem = BandSettingProblem(options.centre, options.ratio, record.Dt)) {
      PrintError(err, "--bandpass: " + *problem);
      return kExitUsage;
    }
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

bool AppendLogRows(const std::string& what, const std::string& path, std::string_view header,
                   const std::vector<std::string>& rows, std::FILE* err) {
  const AppendResult result = AppendLocked(path, header, rows);
  if (result.ok()) return true;
  const char* failed = result.status == AppendResult::Status::CannotOpen ? "を作成できません" : "に書き込めません";
  PrintError(err, what + "「" + path + "」" + failed + "：" + result.cause + "。");
  return false;
}

bool AppendResultsRows(const std::string& path, const std::vector<std::string>& rows, std::FILE* err) {
  return AppendLogRows("結果ファイル", path, ResultsHeaderLine(), rows, err);
}
