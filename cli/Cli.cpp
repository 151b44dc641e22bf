#include "cli/Cli.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <set>

#include "analysis/Acceptance.h"
#include "analysis/BandPass.h"
#include "analysis/DecayDetection.h"
#include "analysis/Flags.h"
#include "analysis/RecordLoading.h"
#include "analysis/Spectrum.h"
#include "analysis/ResultRows.h"
#include "io/AppendTransaction.h"
#include "io/Version.h"
#include "io/LogVersions.h"
#include "io/NumberText.h"
#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "io/ReplacingFile.h"
#include "io/ResultsFile.h"
#include "io/ShiftJisText.h"
#include "io/SystemErrorText.h"

namespace {

int RunCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const CliParse parse = ParseCliArguments(args);
  switch (parse.action) {
    case CliParse::Action::Help:
      std::fputs(kCliUsage, out);
      std::fprintf(out, "\nspectrum: %s\ndetect: %s\n--f0 auto: %s\nflags: %s\n", kSegmentRuleText,
                   DetectionSettingsText(DetectionSettings{}).c_str(),
                   "評価区間（100点が覆う範囲）に1つのHann窓を掛けた振幅スペクトルの最大ピーク",
                   FlagVocabularyText().c_str());
      return kExitOk;
    case CliParse::Action::Version:
      std::fprintf(out, "oscalyx-cli %s\nrevision %s, %s\n", kVersion, SourceRevision(), BuildDate());
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
  if (options.command == "modes") return RunModes(options, out, err);
  if (options.command == "spectrum") return RunSpectrum(options, out, err);
  if (options.command == "detect") return RunDetect(options, out, err);
  if (options.command == "report") return RunReport(options, out, err);
  if (options.command == "batch") return RunBatch(options, out, err);
  if (options.command == "merge") return RunMerge(options, out, err);
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

int LoadSession(const CliOptions& options, Session& session, std::FILE* err, std::string* timeLabel) {
  LoadRequest request{options.positional[0], ChosenFileKind(options), std::nullopt, options.read};
  if (options.bandPass) request.Band = EdgesFromCentre(options.centre, options.ratio);
  // Only the log's rows and the report name the file's SHA-256.
  request.Digest = options.command == "report" || !options.log.empty();
  const LoadOutcome loaded = session.Load(request);
  switch (loaded.status) {
    case LoadOutcome::Status::Ok:
      for (const std::string& warning : loaded.warnings) PrintError(err, warning);
      if (timeLabel != nullptr) *timeLabel = loaded.timeLabel;
      return kExitOk;
    case LoadOutcome::Status::BandRefused:
      // The band does not suit this record's rate: a usage error.
      PrintError(err, "--bandpass: " + loaded.message);
      return kExitUsage;
    default:
      PrintError(err, WithDetail(loaded.message, loaded.detail));
      return kExitFailure;
  }
}

int LoadSessionChannel(const CliOptions& options, Session& session, int& index, std::FILE* err) {
  if (const int status = LoadSession(options, session, err); status != kExitOk) return status;
  const int channels = session.Record().ChannelCount;
  if (options.channel < 1 || options.channel > channels) {
    PrintError(err, "oscalyx-cli: --channel must be between 1 and " + std::to_string(channels));
    return kExitUsage;
  }
  index = options.channel - 1;
  return kExitOk;
}

EvaluationRequest RequestFor(const CliOptions& options, const WaveData& record, int index, std::int64_t start) {
  EvaluationRequest request;
  request.Channel = index;
  request.Start = start;
  request.WidthSeconds = options.width;
  // Without --f0, what a load puts into the initial-frequency box; with
  // --f0 auto, the strongest peak of the stretch (the box's value when it
  // has none).
  request.F0 = options.f0 ? *options.f0 : InitialFrequency(record.Rate);
  if (options.f0Auto) {
    if (const std::optional<double> found = AutomaticInitialFrequency(record, index, start, options.width)) {
      request.F0 = *found;
    }
  }
  request.H0 = options.h0;
  return request;
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

namespace {

bool Report(const AppendResult& result, std::FILE* err) {
  if (result.ok()) return true;
  const char* failed = result.status == AppendResult::Status::CannotOpen ? "を作成できません" : "に書き込めません";
  PrintError(err, result.what + "「" + result.path + "」" + failed + "：" + result.cause + "。");
  return false;
}

}  // namespace

bool AppendEvaluationRows(const CliOptions& options, std::string_view resultsRows, std::string_view logRows,
                          std::FILE* err, const std::function<bool()>& ready) {
  // A file that gets no rows is left as it was: not created, not given its header.
  std::vector<AppendTransaction::Target> targets;
  std::vector<std::string_view> rows;
  if (!options.results.empty() && !resultsRows.empty()) {
    targets.push_back({options.results, ResultsHeaderLine(), "結果ファイル"});
    rows.push_back(resultsRows);
  }
  if (!options.log.empty() && !logRows.empty()) {
    // A log of an older version is kept as it is; the rows go beside it.
    const std::string log = CurrentLogPath(options.log, EvaluationLogHeader());
    if (log != options.log) {
      PrintError(err, "評価記録「" + options.log + "」は以前の版の形式なので、「" + log + "」に記録します。");
    }
    targets.push_back({log, EvaluationLogHeader(), "評価記録"});
    rows.push_back(logRows);
  }
  AppendTransaction transaction;
  if (!targets.empty() && !Report(transaction.Begin(std::move(targets)), err)) return false;
  // On failure the transaction removes the files it created and releases the rest.
  if (!ready()) return false;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!Report(transaction.Append(i, rows[i]), err)) return false;
  }
  return Report(transaction.Commit(), err);
}

bool StdoutWritten(std::FILE* out, std::FILE* err) {
  errno = 0;
  const bool flushed = std::fflush(out) == 0 && std::ferror(out) == 0;
  if (flushed) return true;
  PrintError(err, "標準出力に書き込めません：" + SystemErrorText(errno != 0 ? errno : EIO) + "。");
  return false;
}

bool OutputAllowed(const CliOptions& options, const std::string& path, std::FILE* err) {
  if (path == "-" || options.force || !IsReadOnlyFile(path)) return true;
  PrintError(err, "「" + path + "」は読み取り専用のファイルです。置き換えるには --force を付けてください。");
  return false;
}

std::string DisplayRow(const WaveData& record, int index, const FitResult& r) {
  std::string row = FormatResultRow(DisplayUtf8(SlotText(record.FileName)), index + 1,
                                    DisplayRecordText(record.SourceKind,
                                                      SlotText(record.Names[static_cast<std::size_t>(index)])),
                                    r);
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

std::string FitJson(const Evaluation& evaluation, const std::string& displayRow) {
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
  if (const auto& interval = evaluation.Interval) {
    json += ", \"interval\": {\"f\": [" + JsonReal(interval->FLow) + ", " + JsonReal(interval->FHigh) + "], \"h\": [" +
            JsonReal(interval->HLow) + ", " + JsonReal(interval->HHigh) + "], \"level\": " + JsonReal(interval->Level) +
            ", \"method\": " + JsonString(interval->Method) + "}";
  } else {
    json += ", \"interval\": null";
  }
  json += ", \"flags\": [";
  for (std::size_t i = 0; i < evaluation.Flags.size(); ++i) {
    json += (i > 0 ? ", " : "") + JsonString(std::string(FlagName(evaluation.Flags[i])));
  }
  json += "]";
  json += ", \"f0\": " + JsonReal(evaluation.Request.F0) + ", \"h0\": " + JsonReal(evaluation.Request.H0);
  return json + "}";
}
