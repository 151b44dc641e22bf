// The working session under the window: the loaded record, the view of it,
// the band its samples are filtered with, the results file and the evaluation
// log it records into, and the store of accepted results behind the scatter
// plot and the averages. It knows no widget: every operation returns a plain
// outcome (and the notices the user should read), and the window maps it onto
// its controls. The command line drives the same operations without a window.
//
// Threads: the reading half of a load or a re-filter (Read) and the const
// operations that write files (Convert, Signature) may run on a worker thread
// while the owner waits for them; every operation that changes the session
// runs on the owner's thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/RandomDecrement.h"
#include "analysis/RecordLoading.h"
#include "analysis/ResultStore.h"
#include "io/Progress.h"
#include "io/ResultsFile.h"
#include "io/WaveData.h"
#include "io/WriteCsv.h"
#include "session/Evaluation.h"
#include "session/View.h"

// Something the user should read: a warning about a file the session could
// not keep, or about results it could not store.
struct Notice {
  enum class Kind { Warning, Information };
  std::string Text;   // UTF-8
  std::string Title;
  Kind Level = Kind::Warning;
};

// What to read: the file, its reader, the band to filter it with, and what
// the reader of another instrument's file needs to know (none for the
// standard CSV and SPC-51 files).
struct LoadRequest {
  LoadRequest() = default;
  // {path, kind, band} as before; the options only where a reader takes them.
  LoadRequest(std::string path, FileKind kind, std::optional<BandEdges> band, ReadOptions options = {})
      : Path(std::move(path)), Kind(kind), Band(band), Options(std::move(options)) {}

  std::string Path;
  FileKind Kind = FileKind::Csv;
  std::optional<BandEdges> Band;
  ReadOptions Options;
};

// A committed load or re-filter: what the window shows beyond the record.
struct LoadCommit {
  std::string TimeLabel;         // the recording time the reader found
  std::vector<Notice> Notices;   // the reader's warnings, the results file could not be created, ...
};

// An evaluation as the session recorded it.
struct SessionEvaluation {
  Evaluation Result;
  bool Stored = false;          // accepted and added to the store (false when the store was full)
  std::vector<Notice> Notices;  // files that could not be written, a full store
};

class Session {
 public:
  // The band-pass edges before the first confirmed setting, Hz.
  static constexpr BandEdges kInitialEdges{1.0f, 5.0f};

  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The results file "減衰特性.csv" and the evaluation log "評価記録.csv" go
  // into `folder` (the window's folder at start-up). Without it nothing is
  // recorded.
  void RecordIn(const std::string& folder);
  const std::string& ResultsPath() const { return resultsPath_; }
  const std::string& LogPath() const { return logPath_; }
  bool ResultsFileOpen() const { return resultsFile_.IsOpen(); }
  // Closes the results file; the next load creates it again.
  void CloseResultsFile() { resultsFile_.Close(); }

  // The record --------------------------------------------------------------
  bool Loaded() const { return loaded_; }
  const WaveData& Record() const { return record_; }
  // The file type selected for the next load; the re-read uses the record's.
  void SelectKind(FileKind kind) { record_.SourceKind = kind; }
  // The read options the record was loaded with; the re-read uses them too.
  const ReadOptions& Options() const { return readOptions_; }
  // The band the record's samples are filtered with; none while unfiltered.
  const std::optional<BandEdges>& Band() const { return band_; }
  // The band-pass edges of the last confirmed setting, kept while the filter
  // is off, for the next time it is switched on.
  BandEdges Edges() const { return edges_; }
  void SetEdges(BandEdges edges) { edges_ = edges; }

  ViewWindow& View() { return view_; }
  const ViewWindow& View() const { return view_; }

  // Loading ------------------------------------------------------------------
  // Reads a record; changes nothing of any session, so it may run on a
  // worker thread. `progress` and `onStage` may be empty.
  static LoadOutcome Read(const LoadRequest& request, const Progress* progress = nullptr,
                          const std::function<void(LoadStage)>& onStage = {});
  // Makes a successful read the session's record, as a load through the open
  // dialog does: the results file starts anew with its header, the store is
  // emptied, and the view starts at its first sample with every channel. The
  // view's width, mode and step stay. The band is the one the read filtered
  // with (none for the window's loads, which always start unfiltered). The
  // reader's warnings come first among the notices; a re-read does not repeat
  // them.
  LoadCommit CommitLoad(LoadOutcome&& outcome);
  // Read and CommitLoad in one, for callers that need no progress dialog.
  // Nothing changes unless the read succeeded.
  LoadOutcome Load(const LoadRequest& request, const Progress* progress = nullptr,
                   LoadCommit* commit = nullptr);

  // Filtering ----------------------------------------------------------------
  // The re-read of the loaded record's file with its reader, filtered with
  // `band` (none: unfiltered), for Read.
  LoadRequest RefilterRequest(const std::optional<BandEdges>& band) const;
  // Whether the record already is what a re-filter with `band` would make of
  // it, so the file need not be read again.
  bool FilteredWith(const std::optional<BandEdges>& band) const;
  // Makes a successful re-read the record; the view, the results file and the
  // store stay as they are.
  LoadCommit CommitRefilter(LoadOutcome&& outcome);

  // Evaluation ---------------------------------------------------------------
  // The request for an evaluation of the view's one channel and width from
  // `start`.
  EvaluationRequest RequestAt(std::int64_t start, double f0, double h0) const;
  // Evaluates and records: the accepted pair goes to the store, the row to the
  // results file, the row (also of a failed evaluation of a valid stretch) to
  // the log, each written before this returns.
  SessionEvaluation Evaluate(const EvaluationRequest& request, std::time_t when = std::time(nullptr));

  // The accepted results -----------------------------------------------------
  const ResultStore& Store() const { return store_; }
  // Adds an accepted pair; a full store keeps it out and says so once since
  // the last load or reset. Returns whether it was stored.
  bool AddPoint(float f, float h, std::vector<Notice>& notices);
  void ResetStore();

  // Files made from the record -----------------------------------------------
  // Writes the record as a standard CSV file.
  WriteResult Convert(const std::string& path, const Progress* progress = nullptr) const;
  // The random-decrement signature of a channel (see RandomDecrement).
  RandomDecrementSignature Signature(int channel, double levelSigmas, float lengthSeconds,
                                     const Progress* progress = nullptr) const;

 private:
  void CreateResultsFile(std::vector<Notice>& notices);
  void AppendResults(const std::string& row, std::vector<Notice>& notices);
  void AppendLog(const std::string& row, std::vector<Notice>& notices);

  WaveData record_;
  ReadOptions readOptions_;
  bool loaded_ = false;
  std::optional<BandEdges> band_;
  BandEdges edges_ = kInitialEdges;
  ViewWindow view_;
  ResultStore store_;
  bool storeFullNoticeGiven_ = false;

  std::string resultsPath_;
  std::string logPath_;
  ResultsFile resultsFile_;
  bool lockNoticeGiven_ = false;  // the results file is another window's: said once
  bool logNoticeGiven_ = false;   // the log cannot be written: said once
};
