#include "app/UModes.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "analysis/Modes.h"
#include "app/UCenter.h"
#include "components/qt/AccessibleNames.h"
#include "components/Platform.h"
#include "components/qt/ScreenCentre.h"
#include "io/NumberText.h"
#include "session/Session.h"

namespace {

QString RangeText(double value, const std::optional<ModeRange>& range, int decimals) {
  const QString shown = QString::fromStdString(FormatFixed(value, decimals));
  if (!range) return shown;
  return shown + "（" + QString::fromStdString(FormatFixed(range->Lower, decimals)) + "〜" +
         QString::fromStdString(FormatFixed(range->Upper, decimals)) + "）";
}

}  // namespace

TModes::TModes(Platform& platform, const Session& session, QWidget* parent)
    : QDialog(parent), platform_(platform), session_(session) {
  setObjectName("Modes");
  setWindowTitle("複数モード評価");
  SetSettingsDialogLook(*this, {kOuterWidth, kOuterHeight});

  auto* label = new QLabel("モード数", this);
  label->move(16, 16);
  label->adjustSize();
  SpinCount = new QSpinBox(this);
  SpinCount->setObjectName("SpinCount");
  SpinCount->setRange(1, kMostModes);
  SpinCount->setValue(kDefaultCount);
  SpinCount->setGeometry(96, 12, 56, 22);
  SpinCount->setAccessibleName("モード数");
  Button1 = new QPushButton("評　価", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(168, 10, 75, 25);
  Button1->setDefault(true);
  LabelRatio = new QLabel(this);
  LabelRatio->setObjectName("LabelRatio");
  LabelRatio->setGeometry(260, 14, 280, 20);

  Table = new QTableWidget(0, 5, this);
  Table->setObjectName("Table");
  Table->setGeometry(12, 44, kOuterWidth - 32, 180);
  Table->setHorizontalHeaderLabels({"振動数 f(Hz)（95%）", "減衰比 h（95%）", "振幅 A", "位相 φ", "実効値"});
  Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setAccessibleName("評価したモード");

  Button2 = new QPushButton("閉じる", this);
  Button2->setObjectName("Button2");
  Button2->setGeometry((kOuterWidth - 8 - 75) / 2, 234, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { accept(); });
  NameControls(*this);
}

void TModes::SetStretch(int channel, std::int64_t start, float widthSeconds) {
  channel_ = channel;
  start_ = start;
  width_ = widthSeconds;
  Table->setRowCount(0);
  LabelRatio->clear();
}

void TModes::Button1Click() {
  const ModesFit fit = session_.Modes(channel_, start_, width_, SpinCount->value());
  Table->setRowCount(0);
  if (!fit.Ok()) {
    LabelRatio->clear();
    platform_.ShowMessage(*fit.Failure, "複数モード評価", MessageIcon::Warning);
    return;
  }
  Table->setRowCount(static_cast<int>(fit.Modes.size()));
  for (int row = 0; row < static_cast<int>(fit.Modes.size()); ++row) {
    const DampedMode& mode = fit.Modes[static_cast<std::size_t>(row)];
    const QString cells[] = {RangeText(mode.F, mode.FInterval, 4), RangeText(mode.H, mode.HInterval, 4),
                             QString::fromStdString(FormatFixed(mode.A, 3)),
                             QString::fromStdString(FormatFixed(mode.Phi, 3)),
                             QString::fromStdString(FormatFixed(mode.Rms, 3))};
    for (int column = 0; column < 5; ++column) Table->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
  LabelRatio->setText("近似度 " + QString::fromStdString(FormatFixed(100.0 * fit.Ratio, 1)) + "％");
}
