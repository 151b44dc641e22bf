// Evaluation of many records without a person at the window: every record is
// read as the window reads it, its free decays are found (DecayDetection), and
// the stretch each decay suggests is fitted once. The results are rows of a
// results file (io/BatchRows) keyed by (SHA-256 of the record, channel,
// settings), so that a run that was stopped, or run again, does only what is
// missing; the rows of one record go in together.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/DecayDetection.h"
#include "io/BatchRows.h"
#include "io/ReadOptions.h"
#include "io/KeyedRowsFile.h"
#include "io/WaveData.h"
#include "session/Evaluation.h"

// The options that change a batch's results.
struct BatchSettings {
  std::optional<FileKind> Kind;   // the reader; none: from each file's extension
  std::optional<BandEdges> Band;  // the band-pass filter over every channel
  int Channel = 0;                // 1-based; 0: every channel of each record
  ReadOptions Options;            // what the readers of other formats are told
};

// Everything that changes a result, as one line: the program's version and
// revision, the reader, the band, the detection's settings and the stretch
// rule. The channel choice is not in it: it is in every row's key already,
// and a channel's results do not depend on which others were chosen.
std::string BatchSettingsText(const BatchSettings& settings);
// The first 12 hexadecimal digits of the SHA-256 of BatchSettingsText.
std::string BatchSettingsHash(const BatchSettings& settings);

// The initial damping ratio of every batch fit.
inline constexpr double kBatchInitialDamping = kDefaultInitialDamping;

// The fit of a decay: from its suggested start over its start ... end (at least
// kMinCycles periods of its f, at most what the record holds after the start),
// from its f and kBatchInitialDamping. The report's automatic choice uses it too.
EvaluationRequest SuggestedRequest(const WaveData& record, int channel, const DetectedDecay& decay);

// "YYYY-MM-DD HH:MM:SS" from a reader's time label "YYYY/MM/DD HH:MM:SS";
// any other label as the window shows it, trimmed.
std::string RecordTimeText(const std::string& timeLabel);

// What became of one record.
struct BatchRecordOutcome {
  std::string Path;
  std::vector<KeyedRows> Groups;  // the rows to append, one group per key
  bool Skipped = false;           // everything was in the results file already
  bool Unreadable = false;        // its row says why it could not be read
  int Evaluations = 0;            // fits made
  int Accepted = 0;
};

// Evaluates one record: its SHA-256 first, so that `done(key)` (a key of
// BatchResumeKey) can say which channels need no work; a record whose every
// wanted channel is done is not even read. `settingsHash` is
// BatchSettingsHash(settings).
BatchRecordOutcome EvaluateBatchRecord(const std::string& path, const BatchSettings& settings,
                                       const std::string& settingsHash,
                                       const std::function<bool(const std::string&)>& done);

struct BatchSummary {
  int Records = 0;
  int Skipped = 0;      // records already complete in the results file
  int Unreadable = 0;
  int Evaluations = 0;
  int Accepted = 0;
  std::optional<AppendResult> WriteFailure;  // the first append that failed; the run stops there
};

// Runs the records on `threads` threads (ForEachIndex), appending each record's
// rows to `out` as soon as it is done. `onRecord` (may be empty) is called
// after every record, under a lock, with the number done so far.
BatchSummary EvaluateBatch(const std::vector<std::string>& paths, const BatchSettings& settings, unsigned threads,
                      KeyedRowsFile& out, const std::function<void(int done, const BatchRecordOutcome&)>& onRecord = {},
                      const std::atomic<bool>* cancel = nullptr);

// The key function of a results file for KeyedRowsFile.
std::optional<std::string> BatchLineKey(std::string_view line);
