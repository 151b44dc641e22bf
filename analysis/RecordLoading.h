// Loading a record, the one way the window and the command line do it: the
// reader the file kind names (which also sets the sampling interval), then,
// when a band is given, the band-pass filter over every channel. The record is
// filled fresh and handed back whole, so that a caller replaces its loaded
// record only when everything succeeded.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <array>

#include "analysis/BandPass.h"
#include "analysis/Flags.h"
#include "io/Progress.h"
#include "io/ReadOptions.h"
#include "io/WaveData.h"

struct LoadOutcome {
  enum class Status {
    Ok,
    CannotOpen,    // the file cannot be opened ("ファイルが開けません")
    Refused,       // the file cannot be taken as a record
    BandRefused,   // the band does not suit this record (for example beyond half its rate)
    FilterFailed,  // the filter could not run (memory)
    Cancelled,     // the caller asked to stop
  };
  Status status = Status::Ok;
  std::string message;    // UTF-8, for the user, when not Ok
  std::string title;      // its title in the window
  std::string detail;     // UTF-8, the message's second line: the file, the cause, what to do (may be empty)
  WaveData record;        // the record read (and filtered), when Ok
  std::optional<BandEdges> band;  // the band it was filtered with, when Ok
  // Each channel's clipping as read, before the filter (see SummarizeClipping).
  std::array<ClippingSummary, kMaxChannels> clipping;
  // SHA-256 of the file's bytes, hashed while the reader reads them; empty
  // when the file could not be read through.
  std::string sha256;
  std::string timeLabel;  // what the readers show as the recording time
  std::vector<std::string> warnings;  // what the user should know of a read that succeeded (UTF-8)
  ReadOptions options;    // the read options the record was read with, for reading it again
  bool ok() const { return status == Status::Ok; }
};

// What the window shows while a load runs, besides the fraction done.
enum class LoadStage { Reading, Filtering };

// Reads `path` with the reader of `kind` and the read options (kind, Path and
// FileName set on the record) and filters it with `band` when one is given.
// `progress` receives the fraction of the stage `onStage` last announced;
// either may be null. With `digest` the file's SHA-256 is taken beside the
// reader (LoadOutcome::sha256).
LoadOutcome LoadRecordFile(const std::string& path, FileKind kind, const ReadOptions& options,
                           const std::optional<BandEdges>& band, const Progress* progress = nullptr,
                           const std::function<void(LoadStage)>& onStage = {}, bool digest = true);

// The same without read options (the standard CSV and SPC-51 files).
inline LoadOutcome LoadRecordFile(const std::string& path, FileKind kind, const std::optional<BandEdges>& band,
                                  const Progress* progress = nullptr,
                                  const std::function<void(LoadStage)>& onStage = {}) {
  return LoadRecordFile(path, kind, ReadOptions{}, band, progress, onStage);
}
