// The evaluation of the displayed stretch of one channel: the fit, its
// acceptance, the picture over the view, the labels and the results row.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <ctime>

#include "analysis/Acceptance.h"
#include "analysis/DampedFit.h"
#include "analysis/ResultRows.h"
#include "analysis/StandardErrors.h"
#include "app/Conversions.h"
#include "app/UCenter.h"
#include "app/UGraph.h"
#include "app/UOpen.h"
#include "app/WaitCursor.h"
#include "app/WavePlot.h"
#include "io/ResultsFile.h"
#include "components/FitOverlay.h"

void TOpen::Button6Click() {
  // The crosshair is not part of what the fit draws over.
  EraseCursor();
  plot_->Refresh();
  // Start and initial values are read afresh from their boxes: the user may
  // have typed into them since the last evaluation.
  const int start = StrToInt(Edit1->text());
  const double f0 = StrToFloat(EdInitF->text());
  const double h0 = StrToFloat(EdInitH->text());
  const int channel = view_.SingleIndex;
  if (channel < 0 || channel >= record_.ChannelCount) return;

  FitEvaluation evaluation;
  {
    WaitCursor wait;
    const std::vector<float>& samples = record_.Samples[channel];
    const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record_.SampleCount, 0)));
    evaluation = EvaluateStretch(std::span<const float>(samples.data(), count), record_.Rate, record_.Dt, start,
                                 view_.WidthSeconds, f0, h0);
  }
  if (!evaluation.Ok()) {
    // Nothing of a failed evaluation is drawn, shown or recorded in the
    // results; the log keeps that the stretch could not be evaluated.
    ReportFitFailure(*evaluation.Failure, platform_);
    if (IsLoggedFailure(*evaluation.Failure)) LogEvaluation(channel, start, f0, h0, evaluation);
    return;
  }
  const FitResult& result = evaluation.Result;

  // A poor fit is drawn, labelled and recorded like a good one; only the
  // acceptance decides what feeds the averages and the next initial values.
  AcceptanceStep(result);
  // The red labels' hints give the 95 % intervals of an accepted f and h.
  const std::optional<FitStandardErrors> errors = EvaluationStandardErrors(evaluation.Points, result);
  const bool intervals = IsAccepted(result.Ratio) && errors.has_value();
  Label28->setToolTip(intervals ? QString::fromStdString(FrequencyIntervalText(result, *errors)) : QString());
  Label29->setToolTip(intervals ? QString::fromStdString(DampingIntervalText(result, *errors)) : QString());
  DrawFitOverlay(plot_->Wave(), evaluation);
  Label15->setText(QString::number(result.Passes));
  // The results row and the log row are on disk before the handler returns.
  WriteResultsRow(channel, result);
  LogEvaluation(channel, start, f0, h0, evaluation, errors);
  Label19->setText(QString::fromStdString(RatioPercentText(result.Ratio)));
  view_.CursorDrawn = false;
  plot_->PlotCanvas().SetPenColor({255, 0, 0});
  plot_->Refresh();
}

void TOpen::AcceptanceStep(const FitResult& result) {
  Button11->setEnabled(true);
  const ::AcceptanceStep step = AcceptResult(result);
  if (step.Accepted) {
    if (graph_ != nullptr) graph_->AddPoint(step.F, step.H);
    Label28->setText(QString::fromStdString(step.LastF));
    if (center_ != nullptr) center_->SetCenterText(QString::fromStdString(step.LastF));
    EdInitF->setText(QString::fromStdString(step.NextInitF));
    Label29->setText(QString::fromStdString(step.LastH));
    EdInitH->setText(QString::fromStdString(step.NextInitH));
  } else {
    Label28->setText("failed");
    Label29->setText("failed");
  }
}

void TOpen::WriteResultsRow(int channel, const FitResult& result) {
  if (!resultsFile_.IsOpen()) return;
  const std::string row =
      FormatResultsFileRow(SlotText(record_.FileName), channel + 1, SlotText(record_.Names[channel]), result);
  if (!resultsFile_.Append(row)) {
    resultsFile_.Close();
    WarnResultsFile(/*writing=*/true);
  }
}

void TOpen::LogEvaluation(int channel, int start, double f0, double h0, const FitEvaluation& evaluation,
                          const std::optional<FitStandardErrors>& errors) {
  LogEntry entry;
  entry.When = std::time(nullptr);
  entry.FileName = SlotText(record_.FileName);
  entry.ChannelNumber = channel + 1;
  entry.ChannelName = SlotText(record_.Names[channel]);
  entry.Start = start;
  entry.WidthSeconds = view_.WidthSeconds;
  entry.Band = recordBand_;
  entry.F0 = f0;
  entry.H0 = h0;
  entry.Evaluation = &evaluation;
  if (errors) {
    entry.SeF = errors->F;
    entry.SeH = errors->H;
  }
  const AppendResult appended = AppendLocked(logPath_, EvaluationLogHeader(), {FormatLogRow(entry)});
  // Evaluation goes on without the log; said once, as every later row would repeat it.
  if (!appended.ok() && !logWarningGiven_) {
    logWarningGiven_ = true;
    platform_.ShowMessage("評価記録「" + logPath_ + "」に書き込めません（" + appended.cause +
                              "）。\n評価は続けられますが、評価記録には残りません。",
                          "評価記録", MessageIcon::Warning);
  }
}
