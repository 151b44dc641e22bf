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

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <limits>
#include <span>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/DecayDetection.h"
#include "analysis/Spectrum.h"
#include "analysis/Modes.h"
#include "analysis/RandomDecrement.h"
#include "analysis/RecordLoading.h"
#include "analysis/ResultStore.h"
#include "io/Progress.h"
#include "io/ResultsFile.h"
#include "io/WaveData.h"
#include "io/WriteCsv.h"
#include "session/Evaluation.h"
#include "session/SessionFile.h"
#include "session/View.h"

// Something the user should read: a warning about a file the session could
// not keep, or about results it could not store.
struct Notice {
  enum class Kind { Warning, Information };
  std::string Text;  // UTF-8
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
  // The file's SHA-256 for the log rows and reports (Session::RecordSha256);
  // a caller that writes neither saves the hashing.
  bool Digest = true;
};

// A committed load or re-filter: what the window shows beyond the record.
struct LoadCommit {
  std::string TimeLabel;         // the recording time the reader found
  std::vector<Notice> Notices;   // the reader's warnings, the results file could not be created, ...
};

// A pair taken out of the store, with what is needed to put it back.
struct ExcludedPoint {
  int Index = 0;
  float F = 0.0f;
  float H = 0.0f;
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
  // Rows written into the results file since the last load.
  int ResultsRowCount() const { return resultsRows_; }
  // Closes the results file; the next load creates it again.
  void CloseResultsFile() {
    resultsFile_.Close();
    resultsRetry_ = false;
  }
  // How long a load waits for another program's lock on the results file
  // (the appends' wait; tests shorten it).
  void SetResultsLockWait(std::chrono::milliseconds wait) { resultsLockWait_ = wait; }

  // The record --------------------------------------------------------------
  bool Loaded() const { return loaded_; }
  const WaveData& Record() const { return record_; }
  // The file type selected for the next load; the re-read uses the record's.
  void SelectKind(FileKind kind) { record_.SourceKind = kind; }
  // The reader that produced the loaded record, whatever was selected since.
  FileKind LoadedKind() const { return loadedKind_; }
  // SHA-256 of the record's file as it was read (empty when unknown).
  const std::string& RecordSha256() const { return sha256_; }
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
  LoadOutcome Load(const LoadRequest& request, const Progress* progress = nullptr, LoadCommit* commit = nullptr);

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

  // What the flags of an evaluation of `channel` need beyond its samples; the
  // decays only once Detection has found them for the record as it is.
  ChannelFacts Facts(int channel) const;

  // Finding what to evaluate --------------------------------------------------
  // The settings of the decay detection for the record as it is: around the
  // band-pass centre, and past the filter's settling, when it is filtered.
  DetectionSettings DetectionSettingsNow() const;
  // The free decays of `channel`, found once per record and filter and kept.
  // Changes only the cache, so it may run on a worker thread while nothing
  // else touches the session; a cancelled run keeps nothing.
  const DecayDetection& Detection(int channel, const Progress* progress = nullptr);
  // Whether Detection of `channel` is at hand without work.
  bool DetectionKnown(int channel) const;
  // What an evaluation of a detected stretch of `channel` carries into its log
  // row: the detection's settings and, once it has run, the centre it used.
  std::string DetectionTrace(int channel) const;
  // The spectrum of samples [first, last] of `channel` (the ends clamped to
  // the record): Welch-averaged, or one window over a stretch too short for
  // the averaging to resolve its modes (see StretchSpectrum), as the overview
  // shows it.
  Spectrum SpectrumOf(int channel, std::int64_t first, std::int64_t last, const Progress* progress = nullptr) const;

  // Evaluation ---------------------------------------------------------------
  // The request for an evaluation of the view's one channel and width from
  // `start`.
  EvaluationRequest RequestAt(std::int64_t start, double f0, double h0) const;
  // Evaluates and records: the accepted pair goes to the store, the row to the
  // results file, the row (also of a failed evaluation of a valid stretch) to
  // the log, each written before this returns.
  SessionEvaluation Evaluate(const EvaluationRequest& request, std::time_t when = std::time(nullptr));
  // Records an evaluation made apart (EvaluateRecord of this session's record
  // and band, on a worker thread, say) as Evaluate records its own.
  SessionEvaluation Record(Evaluation evaluation);
  // The evaluations behind the stored pairs, in the store's order (null for
  // a pair stored without one).
  std::vector<const Evaluation*> StoredEvaluations() const;

  // Several modes of the stretch of `channel` from `start`, `widthSeconds`
  // wide, fitted together (with a constant when the record is unfiltered).
  ModesFit Modes(int channel, std::int64_t start, float widthSeconds, int count) const;

  // The accepted results -----------------------------------------------------
  const ResultStore& Store() const { return store_; }
  // Adds an accepted pair; a full store keeps it out and says so once since
  // the last load or reset. Returns whether it was stored.
  bool AddPoint(float f, float h, std::vector<Notice>& notices);
  void ResetStore();
  // Takes pair `index` out of the store (the user excludes a point of the
  // scatter plot); the averages follow, and the log gets a row of the
  // evaluation it came from with "除外". The results file is not rewritten.
  std::optional<ExcludedPoint> ExcludePoint(int index, std::vector<Notice>& notices,
                                            std::time_t when = std::time(nullptr));
  // Puts an excluded pair back where it was (undo); logged as "除外取消".
  bool RestorePoint(const ExcludedPoint& point, std::vector<Notice>& notices, std::time_t when = std::time(nullptr));

  // Saved work -----------------------------------------------------------------
  // What a session file keeps of this session.
  SessionSnapshot Snapshot() const;
  // The accepted pairs of a session file put into the store of the record now
  // loaded; their evaluations are made again, not recorded, so that the
  // points can be excluded and drawn against their amplitude.
  void RestoreStore(const std::vector<SessionSnapshot::StoredPair>& pairs);

  // Files made from the record -----------------------------------------------
  // Writes the record as a standard CSV file.
  WriteResult Convert(const std::string& path, const Progress* progress = nullptr) const;
  // The random-decrement signature of a channel (see RandomDecrement), of
  // its samples first … last (the whole channel by default).
  RandomDecrementSignature Signature(int channel, double levelSigmas, float lengthSeconds,
                                     const Progress* progress = nullptr, std::int64_t first = 0,
                                     std::int64_t last = std::numeric_limits<std::int64_t>::max()) const;
  // The samples first … last of a channel, clamped to the record.
  std::span<const float> ChannelSpan(int channel, std::int64_t first = 0,
                                     std::int64_t last = std::numeric_limits<std::int64_t>::max()) const;
  // Announces that the signature just written to `path`, made of the samples
  // first … last of `channel`, is about to be loaded. While it is the record
  // (loaded from that path and not filtered), the intervals of its
  // evaluations come from the spread of its triggered segments, as `rd --fit`
  // gives them: the signature's own residuals promise far more than they hold.
  void ExpectSignature(const std::string& path, int channel, std::int64_t first, std::int64_t last,
                       const RandomDecrementSignature& signature);
  // Whether the loaded record is such a signature.
  bool LoadedSignatureKnown() const { return signatureSource_.has_value(); }

 private:
  // The samples and triggers a random-decrement signature was made of.
  struct SignatureSource {
    std::string Path;
    std::vector<float> Samples;
    RandomDecrementSignature Signature;
  };
  // An evaluation of the loaded signature with its interval from the triggers.
  Evaluation WithSignatureInterval(Evaluation evaluation, std::time_t when) const;
  void CreateResultsFile(std::vector<Notice>& notices);
  void AppendResults(const std::string& row, std::vector<Notice>& notices);
  bool AppendResultsRow(const std::string& row, std::vector<Notice>& notices);
  void AppendLog(const std::string& row, std::vector<Notice>& notices);

  WaveData record_;
  ReadOptions readOptions_;
  bool loaded_ = false;
  FileKind loadedKind_ = FileKind::Csv;
  std::string sha256_;
  std::optional<BandEdges> band_;
  std::array<ClippingSummary, kMaxChannels> clipping_;  // of the record as read
  std::array<std::optional<DecayDetection>, kMaxChannels> detections_;  // of the record as it is
  BandEdges edges_ = kInitialEdges;
  ViewWindow view_;
  ResultStore store_;
  bool storeFullNoticeGiven_ = false;
  // Where each stored pair came from, in the store's order: the evaluation and
  // the band it was made with (none for a pair added without one).
  struct PointSource {
    std::optional<Evaluation> Source;
    std::optional<BandEdges> Band;
  };
  std::vector<PointSource> sources_;
  std::vector<PointSource> excluded_;  // sources of the pairs taken out, last out last

  std::string resultsPath_;
  std::string logPath_;
  ResultsFile resultsFile_;
  std::chrono::milliseconds resultsLockWait_ = kLockWait;
  // Another program kept the results file locked at the load: every
  // evaluation tries again, and the rows evaluated until then wait here.
  bool resultsRetry_ = false;
  std::vector<std::string> pendingRows_;
  int resultsRows_ = 0;
  bool lockNoticeGiven_ = false;      // the results file is locked elsewhere: said once
  bool recreateNoticeGiven_ = false;  // the results file was deleted and made again: said once
  bool logNoticeGiven_ = false;   // the log cannot be written: said once
  std::string logMovedTo_;        // where the rows go beside an older log (said once)
  std::optional<SignatureSource> expectedSignature_;  // written, not yet loaded
  std::optional<SignatureSource> signatureSource_;    // of the record loaded
};
