// TOverview: "記録の概観" — what to evaluate, found at a glance. The whole
// record as a strip (the main window's view shaded on it, the detected free
// decays marked), the spectrum of the stretch the main window shows with its
// peaks, the evaluation of every detected decay in one go, and f and h of the
// accepted evaluations against their amplitude. It reads the session and talks
// to the main window only through OverviewLinks; the main window tells it when
// the record changed and when its view was redrawn.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/MinMaxSummary.h"
#include "analysis/Spectrum.h"
#include "components/RecordStrip.h"
#include "session/Evaluation.h"

class OverviewPicture;
class Platform;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class Session;
class TMyGraph;
struct SessionEvaluation;

// What the overview asks of the main window.
struct OverviewLinks {
  // Shows the record from `sample` on, as the start box would.
  std::function<void(std::int64_t sample)> MoveStartTo;
  // Puts a frequency into the evaluation's initial value and the band-pass
  // dialog's centre.
  std::function<void(const std::string& hz)> SetInitialFrequency;
  // The initial damping ratio the main window holds (a text that is not a
  // number raises the conversion error).
  std::function<double()> InitialDamping;
  // Evaluations the session has just recorded, in start order: the main
  // window shows them as after "評　価".
  std::function<void(const std::vector<SessionEvaluation>&)> EvaluationsRecorded;
};

class TOverview : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 990;
  static constexpr int kOuterHeight = 720;
  static constexpr int kStripWidth = 966;
  static constexpr int kStripHeight = 172;
  static constexpr int kGraphWidth = 316;
  static constexpr int kGraphHeight = 250;
  static constexpr int kDefaultStep = 200;  // samples between successive stretches of a decay

  TOverview(Platform& platform, Session& session, QWidget* parent = nullptr);
  ~TOverview() override;

  void SetLinks(OverviewLinks links) { links_ = std::move(links); }

  // Shows the window over the others and brings it up to date; the decays of
  // the channel are found first when they are not known yet.
  void ShowWindow();
  // The record was replaced: everything drawn from it goes.
  void RecordChanged();
  // The main window's view was redrawn (or its store changed): the overview
  // follows while it is shown.
  void Follow();

  // Handlers, named after their control and event.
  // A click on the strip at (x, y): on a decay's mark, the main window's start
  // goes to the decay's suggested start; elsewhere to the sample under x.
  void StripClick(int x, int y);
  // A click near a peak of the spectrum: its frequency becomes the initial
  // frequency and the band-pass centre.
  void SpectrumClick(int x, int y);
  // "減衰を検出": the decays of the channel, away from the window with "中止".
  void BtnDetectClick();
  // "検出した減衰をすべて評価".
  void BtnEvaluateAllClick();
  // A double click on a row of the table: the main window shows its stretch.
  void TableDoubleClick(int row);

  // What tests and the window read.
  int Channel() const { return channel_; }
  const RecordStrip& Strip() const { return strip_; }
  const Spectrum& ShownSpectrum() const { return spectrum_; }
  const TMyGraph& SpectrumGraph() const;
  const std::vector<Evaluation>& LastRun() const { return lastRun_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // The channel the decays, the spectrum and the evaluations are of: the one
  // the main view shows alone, else the first it shows.
  int ActiveChannel() const;
  // Finds the decays of the channel unless known; false when "中止" was pressed.
  bool EnsureDetection(int channel);
  void DrawStrip();
  // Computes the spectrum of the stretch the main window shows, unless it is
  // the one shown, and draws it.
  void DrawSpectrum();
  void DrawAmplitudeGraphs();
  void ShowRunTable();
  void ShowStatus();
  const MinMaxSummary* SummaryOf(int channel);
  // The decays of `channel` when they are known and were found.
  std::span<const DetectedDecay> KnownDecays(int channel);

  Platform& platform_;
  Session& session_;
  OverviewLinks links_;
  RecordStrip strip_;
  std::array<std::optional<MinMaxSummary>, kMaxChannels> summaries_;
  int channel_ = 0;
  // The stretch whose spectrum is shown, so that a redraw of the same view
  // does not compute it again.
  struct SpectrumKey {
    int Channel = -1;
    std::int64_t First = 0;
    std::int64_t Count = 0;
    friend bool operator==(const SpectrumKey&, const SpectrumKey&) = default;
  };
  // The stretch the main window shows (channel −1: none).
  SpectrumKey ShownStretch() const;
  SpectrumKey spectrumKey_;
  Spectrum spectrum_;
  QTimer* spectrumTimer_ = nullptr;
  std::optional<int> declinedChannel_;  // its detection was stopped: not started again by itself
  std::vector<Evaluation> lastRun_;     // the last "すべて評価" of this record
  bool working_ = false;                // a detection or evaluation of this window is running

  OverviewPicture* StripImage = nullptr;
  OverviewPicture* SpectrumImage = nullptr;
  OverviewPicture* FImage = nullptr;  // f against |A|
  OverviewPicture* HImage = nullptr;  // h against |A|
  std::unique_ptr<TMyGraph> spectrumGraph_;
  std::unique_ptr<TMyGraph> fGraph_;
  std::unique_ptr<TMyGraph> hGraph_;
  QLabel* LabelStatus = nullptr;
  QLabel* LabelSpectrum = nullptr;
  QPushButton* BtnDetect = nullptr;
  QPushButton* BtnEvaluateAll = nullptr;
  QCheckBox* CBAlong = nullptr;
  QSpinBox* SpinStep = nullptr;
  QTableWidget* Table = nullptr;
  QPushButton* BtnClose = nullptr;
};
