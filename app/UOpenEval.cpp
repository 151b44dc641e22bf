// The evaluation of the displayed stretch of one channel: the session fits
// and records it; the window shows the acceptance, the picture over the view
// and the labels.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/Acceptance.h"
#include "analysis/IntervalText.h"
#include "app/Conversions.h"
#include "app/UCenter.h"
#include "app/UGraph.h"
#include "app/UModes.h"
#include "app/UOpen.h"
#include "app/WaitCursor.h"
#include "app/WavePlot.h"
#include "io/SystemErrorText.h"
#include "components/FitOverlay.h"
#include "components/qt/DisplayText.h"

void ReportFitFailure(const FitFailure& failure, Platform& platform) {
  platform.ShowMessage(WithDetail(failure.Message, failure.Detail), failure.Title, MessageIcon::Warning);
}

void TOpen::Button6Click() {
  // The crosshair is not part of what the fit draws over.
  EraseCursor();
  plot_->Refresh();
  // Start and initial values are read afresh from their boxes: the user may
  // have typed into them since the last evaluation.
  const int start = StrToInt(Edit1->text());
  const double f0 = StrToFloat(EdInitF->text());
  const double h0 = StrToFloat(EdInitH->text());
  const ViewWindow& view = session_.View();
  if (view.SingleIndex < 0 || view.SingleIndex >= session_.Record().ChannelCount) return;

  // The channel's decays, once per record and filter, for the warning of a
  // stretch that starts before a decay is clean; a long record shows progress.
  if (!session_.DetectionKnown(view.SingleIndex)) {
    Session& session = session_;
    const int channel = view.SingleIndex;
    platform_.RunLongWork("減衰を検出中…", [&session, channel](WorkReporter& reporter) {
      session.Detection(channel, &reporter.progress);
    });
  }
  SessionEvaluation outcome;
  {
    WaitCursor wait;
    outcome = session_.Evaluate(session_.RequestAt(start, f0, h0));
  }
  ShowEvaluation(outcome);
}

void TOpen::ModesClick() {
  const ViewWindow& view = session_.View();
  if (!session_.Loaded() || !view.SingleChannel || view.SingleIndex >= session_.Record().ChannelCount) return;
  ModesDialog->SetStretch(view.SingleIndex, StrToInt(Edit1->text()), view.WidthSeconds);
  ModesDialog->exec();
}

void TOpen::ShowFlags(const std::vector<EvaluationFlag>& flags) {
  QStringList names;
  QStringList texts;
  for (const EvaluationFlag flag : flags) {
    names << QString::fromUtf8(FlagShortText(flag).data(), static_cast<int>(FlagShortText(flag).size()));
    texts << QString::fromUtf8(FlagText(flag).data(), static_cast<int>(FlagText(flag).size()));
  }
  LabelFlags->setText(names.isEmpty() ? QString() : "⚠" + names.join("・"));
  LabelFlags->setToolTip(texts.join("\n"));
}

void TOpen::ShowEvaluation(const SessionEvaluation& outcome) {
  const Evaluation& evaluation = outcome.Result;
  if (!evaluation.Ok()) {
    // Nothing of a failed evaluation is drawn or recorded in the results (the
    // log has its row already); the labels of the last evaluation no longer
    // stand beside it as if they were its result.
    Label28->setText("failed");
    Label29->setText("failed");
    Label28->setToolTip(QString());
    Label29->setToolTip(QString());
    Label15->setText("");
    Label19->setText("");
    ShowFlags(evaluation.Flags);
    ReportFitFailure(*evaluation.Fit.Failure, platform_);
    ShowNotices(outcome.Notices);
    return;
  }
  const FitResult& result = evaluation.Fit.Result;
  const AcceptanceStep& step = evaluation.Acceptance;

  // A poor fit is drawn, labelled and recorded like a good one; only the
  // acceptance decides what feeds the averages and the next initial values.
  Button11->setEnabled(true);
  if (step.Accepted) {
    if (outcome.Stored && graph_ != nullptr) graph_->PlotPoints();
    Label28->setText(QString::fromStdString(step.LastF));
    if (center_ != nullptr) center_->SetCenterText(QString::fromStdString(step.LastF));
    EdInitF->setText(QString::fromStdString(step.NextInitF));
    Label29->setText(QString::fromStdString(step.LastH));
    EdInitH->setText(QString::fromStdString(step.NextInitH));
  } else {
    Label28->setText("failed");
    Label29->setText("failed");
  }
  // The red labels' hints give the 95 % intervals of an accepted f and h.
  const std::optional<FitInterval>& interval = evaluation.Interval;
  const bool intervals = step.Accepted && interval.has_value();
  Label28->setToolTip(intervals ? QString::fromStdString(FrequencyRangeText(result.Wn * kHzPerRadian, *interval))
                                : QString());
  Label29->setToolTip(intervals ? QString::fromStdString(DampingRangeText(result.H, *interval)) : QString());
  resultOrigin_ = DisplayText(SlotText(session_.Record().FileName)) + QString("」の開始点 %1").arg(evaluation.Request.Start);
  ShowFlags(evaluation.Flags);
  DrawFitOverlay(plot_->Wave(), evaluation.Fit);
  Label15->setText(QString::number(result.Passes));
  Label19->setText(QString::fromStdString(RatioPercentText(result.Ratio)));
  cursor_.Drawn = false;
  plot_->PlotCanvas().SetPenColor({255, 0, 0});
  plot_->Refresh();
  ShowNotices(outcome.Notices);
  emit EvaluationShown();
}
