// oscalyx-cli report: the one-page report of a record's evaluations (the
// stretches given with --start, or those detect suggests with --auto), or,
// given a batch's results file or the database merged from them, the
// monitoring view of f and h against time and amplitude.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/Cli.h"
#include "cli/ReportModule.h"
#include "io/ResultsDatabase.h"
#include "io/SystemErrorText.h"
#include "session/Batch.h"
#include "session/Report.h"

namespace {

// OUT "-" is a PDF on stdout: written to a scratch file first, so that a page
// that cannot be made leaves stdout empty.
int Write(const ReportContent& content, ReportFormat format, const std::string& path, std::FILE* out,
          std::FILE* err) {
  std::string target = path;
  if (path == "-") {
    // In the user's temporary folder ($TMPDIR, else /tmp).
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) folder = "/tmp";
    std::string scratch = (folder / "oscalyx-report-XXXXXX").string();
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0) {
      PrintError(err, "一時ファイルを作れません：" + SystemErrorText(errno) + "。");
      return kExitFailure;
    }
    ::close(fd);
    target = scratch;
  }
  const std::string error = WriteReportThroughModule(content, format, target);
  if (path == "-") {
    std::ifstream in(target, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ::unlink(target.c_str());
    if (error.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
  }
  if (error.empty()) return kExitOk;
  PrintError(err, error);
  return kExitFailure;
}

int TrendReport(const CliOptions& options, ReportFormat format, const std::string& operatorName, std::FILE* out,
                std::FILE* err) {
  const std::string& input = options.positional[0];
  std::vector<BatchRow> rows;
  std::string error;
  const bool read = IsSqliteFile(input) ? ReadDatabaseRows(input, rows, error) : ReadBatchFile(input, rows, error);
  if (!read) {
    PrintError(err, error);
    return kExitFailure;
  }
  return Write(GatherTrendReport(rows, FileNameOf(input), operatorName, std::time(nullptr)), format,
               options.positional[1], out, err);
}

}  // namespace

int RunReport(const CliOptions& options, std::FILE* out, std::FILE* err) {
  const std::string& input = options.positional[0];
  const std::optional<ReportFormat> format =
      options.positional[1] == "-" ? std::optional<ReportFormat>(ReportFormat::Pdf) : ReportFormatOf(options.positional[1]);
  if (!format) {
    PrintError(err, "oscalyx-cli: report writes OUT.pdf, OUT.png or OUT.svg (by the extension), or a PDF to - (stdout)");
    return kExitUsage;
  }
  if (!OutputAllowed(options, options.positional[1], err)) return kExitFailure;
  const std::string operatorName = !options.operatorName.empty() ? options.operatorName : OperatorFromSettings();
  if (IsSqliteFile(input) || IsBatchResultsFile(input)) return TrendReport(options, *format, operatorName, out, err);

  if (options.channel == 0) {
    PrintError(err, "oscalyx-cli: report of a record needs --channel K");
    return kExitUsage;
  }
  Session session;
  std::string timeLabel;
  if (const int status = LoadSession(options, session, err, &timeLabel); status != kExitOk) return status;
  const WaveData& record = session.Record();
  if (options.channel < 1 || options.channel > record.ChannelCount) {
    PrintError(err, "oscalyx-cli: --channel must be between 1 and " + std::to_string(record.ChannelCount));
    return kExitUsage;
  }
  const int index = options.channel - 1;
  const DecayDetection& found = session.Detection(index);
  if (options.automatic && !found.Ok()) {
    PrintError(err, found.Failure->Message);
    return kExitFailure;
  }
  std::vector<EvaluationRequest> requests;
  if (options.automatic) {
    // Each decay's own stretch and frequency, unless the command line names them.
    for (const DetectedDecay& decay : found.Decays) {
      EvaluationRequest request = SuggestedRequest(record, index, decay);
      if (options.widthGiven) request.WidthSeconds = options.width;
      if (options.h0Given) request.H0 = options.h0;
      if (options.f0) request.F0 = *options.f0;
      if (options.f0Auto) {
        if (const auto peak = AutomaticInitialFrequency(record, index, request.Start, request.WidthSeconds)) {
          request.F0 = *peak;
        }
      }
      request.DetectedBy = session.DetectionTrace(index);
      requests.push_back(request);
    }
    if (requests.empty()) PrintError(err, "減衰が見つかりません：評価のない報告書を作ります。");
  } else {
    const std::vector<int> starts = options.starts.empty() ? std::vector<int>{options.start} : options.starts;
    for (const int start : starts) requests.push_back(RequestFor(options, record, index, start));
  }

  const std::time_t now = std::time(nullptr);
  std::vector<Evaluation> evaluations;
  evaluations.reserve(requests.size());
  int succeeded = 0;
  for (const EvaluationRequest& request : requests) {
    evaluations.push_back(EvaluateRecord(record, session.Band(), request, now, session.Facts(index)));
    if (evaluations.back().Ok()) {
      ++succeeded;
    } else {
      PrintError(err, "開始点 " + std::to_string(request.Start) + "：" + evaluations.back().Fit.Failure->Message);
    }
  }
  // As fit: an evaluation asked for that failed everywhere leaves no file.
  if (!requests.empty() && succeeded == 0) return kExitFailure;

  RecordReportRequest request;
  request.Record = &record;
  request.Band = session.Band();
  request.Sha256 = session.RecordSha256();  // hashed beside the reader, of the bytes it read
  request.TimeLabel = timeLabel;
  for (const Evaluation& evaluation : evaluations) request.Evaluations.push_back(&evaluation);
  request.Operator = operatorName;
  request.When = now;
  return Write(GatherRecordReport(request), *format, options.positional[1], out, err);
}
