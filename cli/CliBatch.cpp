// oscalyx-cli batch: every record under the folders (and every file) given,
// its decays found and fitted, the rows appended to RESULTS.csv. A record
// already in RESULTS.csv with the same settings is skipped, so a run that was
// stopped or killed is completed by running it again.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "cli/Cli.h"
#include "io/RecordFiles.h"
#include "io/ThreadTeam.h"
#include "session/Batch.h"

namespace {

// How often the progress line is redrawn at most.
constexpr std::chrono::milliseconds kProgressInterval{250};

std::string Duration(double seconds) {
  const auto total = static_cast<long long>(std::lround(std::max(seconds, 0.0)));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

}  // namespace

int RunBatch(const CliOptions& options, std::FILE*, std::FILE* err) {
  RecordFileList files = FindRecordFiles(options.positional);
  for (const std::string& problem : files.Problems) PrintError(err, problem);
  // RESULTS.csv itself, or another run's, may lie in the folder: results are
  // never taken for records (their bytes change with every run).
  std::erase_if(files.Paths, [&options](const std::string& path) {
    std::error_code error;
    return std::filesystem::equivalent(path, options.out, error) || IsBatchResultsFile(path);
  });

  BatchSettings settings;
  settings.Kind = options.type;
  if (options.bandPass) settings.Band = EdgesFromCentre(options.centre, options.ratio);
  settings.Channel = options.channel;
  settings.Options = options.read;

  KeyedRowsFile out(options.out, BatchHeaderLine(), BatchLineKey);
  if (const AppendResult loaded = out.Load(); !loaded.ok()) {
    PrintError(err, "結果ファイル「" + options.out + "」を読めません：" + loaded.cause + "。");
    return kExitFailure;
  }
  // The header alone when there is nothing to add, so that every part of a
  // split run leaves a file to merge.
  if (const AppendResult made = out.Append({}); !made.ok()) {
    PrintError(err, "結果ファイル「" + options.out + "」に書き込めません：" + made.cause + "。");
    return kExitFailure;
  }

  const bool showProgress = ::isatty(::fileno(err)) == 1;
  const auto began = std::chrono::steady_clock::now();
  auto shown = began - kProgressInterval;
  const auto total = static_cast<int>(files.Paths.size());
  const auto progress = [&](int done, const BatchRecordOutcome&) {
    if (!showProgress) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - shown < kProgressInterval && done < total) return;
    shown = now;
    const double elapsed = std::chrono::duration<double>(now - began).count();
    const double rate = elapsed > 0.0 ? done / elapsed : 0.0;
    std::fprintf(err, "\r%d / %d 件  %.1f 件/s  残り %s ", done, total, rate,
                 rate > 0.0 ? Duration((total - done) / rate).c_str() : "--:--:--");
    if (done == total) std::fputc('\n', err);
    std::fflush(err);
  };
  const unsigned threads = options.jobs > 0 ? static_cast<unsigned>(options.jobs) : CoreCount();
  const BatchSummary summary = EvaluateBatch(files.Paths, settings, threads, out, progress);
  if (summary.WriteFailure) {
    if (showProgress) std::fputc('\n', err);
    PrintError(err, "結果ファイル「" + options.out + "」に書き込めません：" + summary.WriteFailure->cause + "。");
    return kExitFailure;
  }
  std::fprintf(err, "%d 件の記録：評価 %d 件（採用 %d 件）、済みで飛ばした記録 %d 件、読めない記録 %d 件\n",
               summary.Records, summary.Evaluations, summary.Accepted, summary.Skipped, summary.Unreadable);
  return files.Problems.empty() ? kExitOk : kExitFailure;
}
