#include "cli/Cli.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <set>

#include "analysis/BandPass.h"
#include "analysis/RecordLoading.h"
#include "analysis/ResultRows.h"
#include "components/Version.h"
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
  return options.type ? *options.type : KindFromExtension(options.positional[0]);
}

int LoadRecord(const CliOptions& options, WaveData& record, std::string& timeLabel, std::FILE* err) {
  std::optional<BandEdges> band;
  if (options.bandPass) band = EdgesFromCentre(options.centre, options.ratio);
  LoadOutcome loaded = LoadRecordFile(options.positional[0], ChosenFileKind(options), band);
  switch (loaded.status) {
    case LoadOutcome::Status::Ok:
      record = std::move(loaded.record);
      timeLabel = std::move(loaded.timeLabel);
      return kExitOk;
    case LoadOutcome::Status::BandRefused:
      // The band does not suit this record's rate: a usage error.
      PrintError(err, "--bandpass: " + loaded.message);
      return kExitUsage;
    default:
      PrintError(err, loaded.message);
      return kExitFailure;
  }
}

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

std::string EvaluationLogRow(const CliOptions& options, const WaveData& record, int channel, std::int64_t start,
                             double f0, double h0, const FitEvaluation& evaluation) {
  LogEntry entry;
  entry.When = std::time(nullptr);
  entry.FileName = SlotText(record.FileName);
  entry.ChannelNumber = channel + 1;
  entry.ChannelName = SlotText(record.Names[static_cast<std::size_t>(channel)]);
  entry.Start = start;
  entry.WidthSeconds = options.width;
  if (options.bandPass) entry.Band = EdgesFromCentre(options.centre, options.ratio);
  entry.F0 = f0;
  entry.H0 = h0;
  entry.Evaluation = &evaluation;
  return FormatLogRow(entry);
}
