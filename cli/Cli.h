// oscalyx-cli: the window's readers, filter, evaluation, plot and PNG writer
// without a window. Each command lives in its own file (CliInfo.cpp,
// CliConvert.cpp, CliFit.cpp, CliPlot.cpp, CliSweep.cpp, CliRd.cpp) and shares
// the option parsing, the loading and the output helpers below.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/ReadOptions.h"
#include "io/WaveData.h"
#include "session/Evaluation.h"
#include "session/Session.h"

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the file cannot be opened or read, the evaluation failed, or an output was lost
constexpr int kExitUsage = 2;    // unknown command or option, missing or malformed value, channel out of range

struct CliOptions {
  std::string command;                 // info, convert, fit, plot, sweep, rd
  std::vector<std::string> positional; // FILE, and OUT for convert, plot and rd
  std::optional<FileKind> type;        // --type; otherwise chosen by the file's extension
  ReadOptions read;                    // --delimiter, --decimal, --skip, --rate, --time-column, --names, --unit,
                                       // --scale, --variable
  bool bandPass = false;               // --bandpass C R
  float centre = 0.0f;
  float ratio = 0.0f;
  int channel = 0;                     // --channel K, 1-based (fit, sweep, rd)
  std::vector<int> channels;           // --channels LIST, 1-based (plot); empty: all
  int start = 0;                       // --start S, first sample
  float width = kDefaultWidthSeconds;  // --width W, seconds, single precision as the view holds it
  std::optional<double> f0;            // --f0 F; otherwise rate × 0.02 as a load sets it
  bool f0Auto = false;                 // --f0 auto: the strongest peak of the stretch
  double h0 = kDefaultInitialDamping;  // --h0 H
  bool widthGiven = false;             // --width or --h0 on the command line (report --auto
  bool h0Given = false;                //   takes each decay's own otherwise)
  std::string results;                 // --results PATH (fit, sweep)
  std::string log;                     // --log PATH (fit, sweep): the evaluation log
  bool json = false;                   // --json (fit)
  bool white = false;                  // --white (plot)
  bool fit = false;                    // --fit (plot, rd)
  int from = 0;                        // --from S, first start (sweep)
  int to = 0;                          // --to E, last start at most (sweep), last sample (spectrum)
  bool toGiven = false;
  int every = 0;                       // --every N, samples between starts (sweep)
  std::string plot;                    // --plot OUT.png (sweep)
  bool force = false;                  // --force: an existing read-only OUT may be replaced
  double level = kDefaultTriggerLevel; // --level L, trigger level in σ (rd)
  float length = kDefaultSignatureSeconds;  // --length W, signature seconds, single precision (rd)
  int count = 0;                       // --count N, modes fitted together (modes)
  // Deliverables and many records (report, batch, merge).
  std::vector<int> starts;             // --start S, once per stretch (report)
  bool automatic = false;              // --auto: the stretches detect suggests (report)
  std::string operatorName;            // --operator NAME (report)
  std::string out;                     // --out RESULTS.csv (batch)
  int jobs = 0;                        // --jobs N (batch); 0: every core
  std::string db;                      // --db OUT.sqlite (merge)
};

struct CliParse {
  enum class Action { Run, Help, Version, Error } action = Action::Error;
  CliOptions options;
  std::string error;  // for Error: what was wrong, in English
};

// Parses the arguments after the program name.
CliParse ParseCliArguments(const std::vector<std::string>& args);

// Runs a whole command line; returns the exit status.
int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

extern const char kCliUsage[];

// Shared by the commands ------------------------------------------------------

// FILE's reader: --type, else by the name's extension (KindFromExtension).
FileKind ChosenFileKind(const CliOptions& options);

// Reads FILE into `session` as the window's load does (filtered when
// --bandpass is given). On failure the message is on `err` and the return
// value is the exit status; kExitOk otherwise.
int LoadSession(const CliOptions& options, Session& session, std::FILE* err, std::string* timeLabel = nullptr);
// LoadSession, then --channel checked against the record: `index` is its
// 0-based index. A channel the record lacks is a usage error.
int LoadSessionChannel(const CliOptions& options, Session& session, int& index, std::FILE* err);

// The evaluation of channel `index` from `start` with --width, --h0, and --f0
// or what a load puts into the initial-value box.
EvaluationRequest RequestFor(const CliOptions& options, const WaveData& record, int index, std::int64_t start);

// A JSON string literal, quotes included, for UTF-8 text.
std::string JsonString(const std::string& utf8);

// Prints a message line on `err` (the window's texts are UTF-8 already).
void PrintError(std::FILE* err, const std::string& message);

// The last step of fit and sweep: their other outputs, then the rows of
// --results and --log, as one step that leaves nothing half done. Both files
// are locked first (AppendTransaction: header under the lock, a missing line
// end first); then `ready` writes the command's other outputs (stdout, a
// picture) and says whether they got out; only then are the rows written, all
// or none. Without --results and --log only `ready` runs. False, with the
// message on `err` (or ready's own), when anything failed: a retry then
// repeats no row.
bool AppendEvaluationRows(const CliOptions& options, std::string_view resultsRows, std::string_view logRows,
                          std::FILE* err, const std::function<bool()>& ready);

// Flushes stdout; false, with the message on `err`, when what was printed
// did not get out (a closed pipe, a full disk).
bool StdoutWritten(std::FILE* out, std::FILE* err);

// Whether OUT may be written: an existing read-only file is refused (message
// on `err`) unless --force. "-" (stdout) always may.
bool OutputAllowed(const CliOptions& options, const std::string& path, std::FILE* err);

// The results-file row of an evaluation as fit prints it: names shown as UTF-8,
// no line end.
std::string DisplayRow(const WaveData& record, int index, const FitResult& result);

// "%.9g" in the C locale: a single-precision value reads back unchanged.
std::string RealText(double value);
// fit --json's object for a successful evaluation, without a line end.
std::string FitJson(const Evaluation& evaluation, const std::string& displayRow);

// One line of sweep's output and what the rest of the command needs of it.
struct SweepLine {
  std::string Text;        // the CSV line without its line end
  std::string ResultsRow;  // the results-file row (file bytes, CR LF); empty when the start failed
  std::string LogRow;      // the evaluation log's row; empty when nothing was evaluated
  bool Evaluated = false;
  bool Accepted = false;
  float AbsA = 0.0f;  // |A|, f and h for the plot
  float F = 0.0f;
  float H = 0.0f;
};

// The evaluations of `count` starts first, first + every, ... (--every) on
// `threads` threads, in start order.
std::vector<SweepLine> SweepStarts(const Session& session, int index, const CliOptions& options, std::int64_t first,
                                   std::int64_t count, unsigned threads);

int RunInfo(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunConvert(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunFit(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunPlot(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunSweep(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunRd(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunModes(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunSpectrum(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunDetect(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunReport(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunBatch(const CliOptions& options, std::FILE* out, std::FILE* err);
int RunMerge(const CliOptions& options, std::FILE* out, std::FILE* err);
