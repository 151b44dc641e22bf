// The view of the record: start, slider, arrows, widths, step, channels,
// background, the crosshair read-out, and the export of the picture.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "app/Conversions.h"
#include "app/UCenter.h"
#include "app/UOpen.h"
#include "app/WavePlot.h"
#include "io/Version.h"
#include "components/qt/TkBtn.h"
#include "image/PngObject.h"
#include "app/ReplaceReadOnly.h"
#include "io/NumberText.h"
#include "io/ShiftJisText.h"
#include "io/WriteCsv.h"

namespace {

const char kPngFilter[] = "PNGファイル(*.png)|*.png|すべて(*.*)|*.*";

std::string Printf(const char* format, auto... values) { return FormatC(format, values...); }

}  // namespace

void TOpen::Edit1Change() {
  // Leaving the box as it was is no new start.
  if (Edit1->text() == QString::number(TrackBar1->value())) return;
  const int typed = StrToInt(Edit1->text());
  TrackBar1->setValue(typed);
  // A start beyond the record is shown as the start actually drawn, so that
  // the box and the evaluation, which reads it, agree with the picture.
  if (TrackBar1->value() != typed) Edit1->setText(QString::number(TrackBar1->value()));
}

void TOpen::TrackBar1Change() {
  Edit1->setText(QString::number(TrackBar1->value()));
  RedrawView();
}

void TOpen::Button4Click() { MoveStart(-static_cast<long long>(session_.View().ArrowStep)); }

void TOpen::Button5Click() { MoveStart(session_.View().ArrowStep); }

void TOpen::MoveStart(long long samples) {
  // In 64 bits: near the end of a record of 2^31 samples the sum leaves int.
  const long long target = std::clamp<long long>(TrackBar1->value() + samples, TrackBar1->minimum(),
                                                 TrackBar1->maximum());
  TrackBar1->setValue(static_cast<int>(target));
}

bool TOpen::PlotKey(int key) {
  switch (key) {
    case Qt::Key_Left:
      Button4Click();
      return true;
    case Qt::Key_Right:
      Button5Click();
      return true;
    case Qt::Key_Home:
      TrackBar1->setValue(TrackBar1->minimum());
      return true;
    case Qt::Key_End: {
      // The last start that still fills the width, as far as the record reaches.
      const WaveData& record = session_.Record();
      const long long shown = WindowSamples(record.Rate, session_.View().WidthSeconds);
      TrackBar1->setValue(static_cast<int>(std::clamp<long long>(record.SampleCount - shown, TrackBar1->minimum(),
                                                                 TrackBar1->maximum())));
      return true;
    }
    default:
      return false;
  }
}

void TOpen::SetTimeScaleCaptions() {
  const WidthChoice* table = session_.View().ScaleMode == TimeScaleMode::Standard ? kStandardWidths : kShortWidths;
  for (int i = 0; i < kWidthChoices; ++i) WidthItems[i]->setText(QString::fromUtf8(table[i].Caption));
}

void TOpen::RadioGroup2Click() {
  const int index = WidthGroup->checkedId();
  if (index < 0) return;
  const WidthChoice& choice =
      (session_.View().ScaleMode == TimeScaleMode::Standard ? kStandardWidths : kShortWidths)[index];
  ApplyWidth(session_.View(), choice);
  plot_->Wave().VValueX = choice.SecondsPerDivision;
  RedrawView();
}

void TOpen::DIV1Click() {
  DIV1->setChecked(true);
  DIV10->setChecked(false);
  session_.View().ScaleMode = TimeScaleMode::Standard;
  SetTimeScaleCaptions();
  WidthItems[kDefaultWidthIndex]->setChecked(true);
  RadioGroup2Click();
}

void TOpen::DIV10Click() {
  DIV1->setChecked(false);
  DIV10->setChecked(true);
  session_.View().ScaleMode = TimeScaleMode::Short;
  SetTimeScaleCaptions();
  WidthItems[kDefaultWidthIndex]->setChecked(true);
  RadioGroup2Click();
}

void TOpen::StepClick(int step) {
  for (std::size_t i = 0; i < kArrowSteps.size(); ++i) StepItems[i]->setChecked(kArrowSteps[i] == step);
  session_.View().ArrowStep = step;
  Label12->setText(QString::number(step));
  // Before any load there is no rate to time the step with.
  if (session_.Record().Rate > 0) {
    const double seconds = static_cast<double>(step) / session_.Record().Rate;
    Label17->setText(QString::fromStdString(FormatFixed(seconds, 1)) + "秒");
  } else {
    Label17->setText("");
  }
}

bool TOpen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == GroupBox3 && event->type() == QEvent::MouseButtonRelease) Guard([this] { GroupBox3Click(); });
  return QMainWindow::eventFilter(watched, event);
}

void TOpen::GroupBox3Click() { RedrawView(); }

void TOpen::Button8Click() {
  for (QCheckBox* box : CB) box->setChecked(false);
}

void TOpen::Button10Click() {
  for (int k = 0; k < session_.Record().ChannelCount; ++k) CB[k]->setChecked(true);
  session_.View().SingleChannel = false;
}

void TOpen::Button2Click() { RedrawView(); }

void TOpen::CBWhiteClick() {
  session_.View().PlotBackground = CBWhite->isChecked() ? kWhitePlotBackground : kPlotBackground;
  RedrawView();
}

void TOpen::RedrawView() {
  ViewWindow& view = session_.View();
  const WaveData& record = session_.Record();
  for (int k = 0; k < kMaxChannels; ++k) view.Channels[k] = CB[k]->isChecked();
  bool startIsNumber = true;
  std::string conversionError;
  try {
    view.Start = StrToInt(Edit1->text());
  } catch (const ConversionError& error) {
    startIsNumber = false;
    conversionError = error.what();
  }
  SelectChannels(view, record.ChannelCount);
  lastDraw_ = DrawView(plot_->Wave(), record, view, session_.Band(), startIsNumber);
  cursor_.Drawn = false;  // the new picture has no crosshair
  ++redrawCount_;
  plot_->Refresh();
  // The signature, like the evaluation, works on the one channel shown.
  RD->setEnabled(session_.Loaded() && lastDraw_.CheckedCount == 1);
  ModesItem->setEnabled(session_.Loaded() && lastDraw_.CheckedCount == 1);
  if (lastDraw_.CheckedCount == 1) {
    Button9->setEnabled(true);
    TkBtn1->setEnabled(true);
    TkBtn1->setVisible(true);
  } else if (lastDraw_.CheckedCount >= 2) {
    Button9->setEnabled(false);
    TkBtn1->setEnabled(false);
    TkBtn1->setVisible(false);
    Label15->setText("");
    Label19->setText("");
    LabelFlags->clear();
    LabelFlags->setToolTip(QString());
  }
  emit ViewRedrawn();
  if (!startIsNumber) throw ConversionError(conversionError);
}

void TOpen::EraseCursor() {
  if (!cursor_.Drawn) return;
  Canvas& canvas = plot_->PlotCanvas();
  canvas.SetPenMode(PenMode::Xor);
  canvas.SetPenWidth(1);
  canvas.MoveTo(cursor_.X, 0);
  canvas.LineTo(cursor_.X, canvas.Height());
  canvas.MoveTo(0, cursor_.Y);
  canvas.LineTo(canvas.Width(), cursor_.Y);
  canvas.SetPenMode(PenMode::Copy);
  cursor_.Drawn = false;
}

int TOpen::CursorSample() const {
  const ViewWindow& view = session_.View();
  const float t = static_cast<float>((cursor_.X - lastDraw_.LastFrame.OriginX) / 600.0 * view.WidthSeconds);
  const double step = view.Start + static_cast<double>(t) / session_.Record().Dt;
  // The sample under the cursor, kept inside the range of an int.
  return static_cast<int>(std::clamp(step, -2147483648.0, 2147483647.0));
}

void TOpen::MyWave1MouseMove(int x, int y) {
  if (!session_.Loaded()) return;
  Canvas& canvas = plot_->PlotCanvas();
  const int width = canvas.Width();
  const int height = canvas.Height();
  EraseCursor();
  cursor_.X = x;
  cursor_.Y = y;
  const int step = CursorSample();
  const WaveFrame& frame = lastDraw_.LastFrame;
  const float value = frame.UnitLenY != 0
                          ? static_cast<float>(static_cast<double>(frame.OriginY - y) * frame.VValueY / frame.UnitLenY)
                          : 0.0f;
  const ViewWindow& view = session_.View();
  const WaveData& record = session_.Record();
  const float seconds = static_cast<float>(static_cast<double>(step - view.Start) / record.Rate);
  if (view.SingleChannel && step > 0) {
    const std::string unit = DisplayRecordText(record.SourceKind, SlotText(record.Units[view.SingleIndex]));
    Label16->setText(QString::fromStdString(
        Printf("X = %d(step),  %.2f(sec)    Y = %.2f(%s)", step, seconds, value, unit.c_str())));
  } else {
    Label16->setText(QString::fromStdString(Printf("X = %d(step),  %.2f(sec)", step, seconds)));
  }
  Label16->adjustSize();
  canvas.SetPenMode(PenMode::Xor);
  canvas.SetPenWidth(1);
  canvas.MoveTo(x, 0);
  canvas.LineTo(x, height);
  canvas.MoveTo(0, y);
  canvas.LineTo(width, y);
  cursor_.Drawn = true;
  if (x <= 5 || y <= 5 || x >= width - 5 || y >= height - 5) EraseCursor();
  canvas.SetPenMode(PenMode::Copy);
  plot_->Refresh();
}

void TOpen::MyWave1Click() {
  if (!session_.Loaded()) return;
  EraseCursor();
  TrackBar1->setValue(std::clamp(CursorSample(), 0, TrackBar1->maximum()));
  cursor_.Drawn = false;
  plot_->Refresh();
}

void TOpen::Button3Click() { plot_->Wave().Copy(platform_); }

void TOpen::Button7Click() {
  // Offered: the record's name as a picture, in the record's folder.
  const WaveData& record = session_.Record();
  const std::string chosen = platform_.SaveFileName(
      {kPngFilter, 1, true, FolderOf(record.Path), StemOf(SlotText(record.FileName)) + ".png"});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".png");
  if (!MayReplace(platform_, path)) return;
  TPNGObject png;
  png.Assign(plot_->PlotCanvas().Image());
  const PngResult result = png.SaveToFile(path);
  // Reported as the general error handler reports a failed file operation.
  if (!result.ok) platform_.ShowMessage(result.message, kApplicationTitle, MessageIcon::Error);
}
