// The main window's side of the record overview: its menu item, the links the
// overview acts through, and the evaluations it records shown as "評　価"
// shows one.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>

#include "app/Conversions.h"
#include "app/UCenter.h"
#include "app/UGraph.h"
#include "app/UOpen.h"
#include "app/UOverview.h"

void TOpen::BuildOverview(QMenu* edit) {
  OverviewItem = edit->addAction("記録の概観…");
  OverviewItem->setObjectName("OverviewItem");
  OverviewItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  OverviewItem->setEnabled(false);
  Connect(OverviewItem, &QAction::triggered, [this] { OverviewClick(); });

  Overview = new TOverview(platform_, session_, this);
  OverviewLinks links;
  links.MoveStartTo = [this](std::int64_t sample) {
    TrackBar1->setValue(static_cast<int>(std::clamp<std::int64_t>(sample, TrackBar1->minimum(), TrackBar1->maximum())));
  };
  links.SetInitialFrequency = [this](const std::string& hz) {
    EdInitF->setText(QString::fromStdString(hz));
    if (center_ != nullptr) center_->SetCenterText(QString::fromStdString(hz));
  };
  links.InitialDamping = [this] { return StrToFloat(EdInitH->text()); };
  links.EvaluationsRecorded = [this](const std::vector<SessionEvaluation>& outcomes) { ShowEvaluations(outcomes); };
  Overview->SetLinks(std::move(links));

  Connect(this, &TOpen::RecordChanged, [this] {
    OverviewItem->setEnabled(session_.Loaded());
    Overview->RecordChanged();
  });
  Connect(this, &TOpen::ViewRedrawn, [this] { Overview->Follow(); });
  Connect(this, &TOpen::EvaluationShown, [this] { Overview->Follow(); });
}

void TOpen::OverviewClick() {
  if (!session_.Loaded()) return;
  Overview->ShowWindow();
}

void TOpen::ShowEvaluations(const std::vector<SessionEvaluation>& outcomes) {
  std::vector<Notice> notices;
  const SessionEvaluation* shown = nullptr;  // the last that succeeded
  const SessionEvaluation* lastAccepted = nullptr;
  bool stored = false;
  for (const SessionEvaluation& outcome : outcomes) {
    notices.insert(notices.end(), outcome.Notices.begin(), outcome.Notices.end());
    if (outcome.Result.Ok()) shown = &outcome;
    if (outcome.Result.Accepted()) lastAccepted = &outcome;
    stored = stored || outcome.Stored;
  }
  // The initial values and the band-pass centre from the last accepted one, as
  // the series of evaluations would have left them.
  if (lastAccepted != nullptr) {
    const AcceptanceStep& step = lastAccepted->Result.Acceptance;
    EdInitF->setText(QString::fromStdString(step.NextInitF));
    EdInitH->setText(QString::fromStdString(step.NextInitH));
    if (center_ != nullptr) center_->SetCenterText(QString::fromStdString(step.LastF));
  }
  if (stored && graph_ != nullptr) graph_->PlotPoints();
  if (shown != nullptr) {
    // The fit is drawn over the stretch it was made on.
    const int start = static_cast<int>(shown->Result.Request.Start);
    const bool moves = TrackBar1->value() != start;
    TrackBar1->setValue(start);
    if (!moves) RedrawView();
    SessionEvaluation quiet = *shown;
    quiet.Notices.clear();
    ShowEvaluation(quiet);
  }
  ShowNotices(notices);
}
