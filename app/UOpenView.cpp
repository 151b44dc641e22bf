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
#include "components/Version.h"
#include "components/qt/TkBtn.h"
#include "image/PngObject.h"
#include "io/NumberText.h"
#include "io/ShiftJisText.h"
#include "io/WriteCsv.h"

namespace {

const char kPngFilter[] = "PNGファイル(*.png)|*.png|すべて(*.*)|*.*";

std::string Printf(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

void TOpen::Edit1Change() {
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

void TOpen::Button4Click() { MoveStart(-static_cast<long long>(view_.ArrowStep)); }

void TOpen::Button5Click() { MoveStart(view_.ArrowStep); }

void TOpen::MoveStart(long long samples) {
  // In 64 bits: near the end of a record of 2^31 samples the sum leaves int.
  const long long target = std::clamp<long long>(TrackBar1->value() + samples, TrackBar1->minimum(),
                                                 TrackBar1->maximum());
  TrackBar1->setValue(static_cast<int>(target));
}

void TOpen::SetTimeScaleCaptions() {
  const WidthChoice* table = view_.ScaleMode == TimeScaleMode::Standard ? kStandardWidths : kShortWidths;
  for (int i = 0; i < kWidthChoices; ++i) WidthItems[i]->setText(QString::fromUtf8(table[i].Caption));
}

void TOpen::RadioGroup2Click() {
  const int index = WidthGroup->checkedId();
  if (index < 0) return;
  const WidthChoice& choice =
      (view_.ScaleMode == TimeScaleMode::Standard ? kStandardWidths : kShortWidths)[index];
  ApplyWidth(view_, choice);
  plot_->Wave().VValueX = choice.SecondsPerDivision;
  RedrawView();
}

void TOpen::DIV1Click() {
  DIV1->setChecked(true);
  DIV10->setChecked(false);
  view_.ScaleMode = TimeScaleMode::Standard;
  SetTimeScaleCaptions();
  WidthItems[kDefaultWidthIndex]->setChecked(true);
  RadioGroup2Click();
}

void TOpen::DIV10Click() {
  DIV1->setChecked(false);
  DIV10->setChecked(true);
  view_.ScaleMode = TimeScaleMode::Short;
  SetTimeScaleCaptions();
  WidthItems[kDefaultWidthIndex]->setChecked(true);
  RadioGroup2Click();
}

void TOpen::StepClick(int step) {
  const int steps[] = {200, 500, 1000, 2000};
  for (int i = 0; i < 4; ++i) StepItems[i]->setChecked(steps[i] == step);
  view_.ArrowStep = step;
  Label12->setText(QString::number(step));
  // Before any load there is no rate to time the step with.
  if (record_.Rate > 0) {
    Label17->setText(QString::fromStdString(FormatFixed(static_cast<double>(step) / record_.Rate, 1)) + "秒");
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
  for (int k = 0; k < record_.ChannelCount; ++k) CB[k]->setChecked(true);
  view_.SingleChannel = false;
}

void TOpen::Button2Click() { RedrawView(); }

void TOpen::CBWhiteClick() {
  view_.PlotBackground = CBWhite->isChecked() ? kWhitePlotBackground : kPlotBackground;
  RedrawView();
}

void TOpen::RedrawView() {
  for (int k = 0; k < kMaxChannels; ++k) view_.Channels[k] = CB[k]->isChecked();
  bool startIsNumber = true;
  std::string conversionError;
  try {
    view_.Start = StrToInt(Edit1->text());
  } catch (const ConversionError& error) {
    startIsNumber = false;
    conversionError = error.what();
  }
  ViewBandPass bandPass;
  bandPass.On = center_ != nullptr && center_->BandOn();
  bandPass.LowHz = bandLow_;
  bandPass.HighHz = bandHigh_;
  SelectChannels(view_, record_.ChannelCount);
  lastDraw_ = DrawView(plot_->Wave(), record_, view_, bandPass, startIsNumber);
  view_.CursorDrawn = false;  // the new picture has no crosshair
  ++redrawCount_;
  plot_->Refresh();
  // The signature, like the evaluation, works on the one channel shown.
  RD->setEnabled(loaded_ && lastDraw_.CheckedCount == 1);
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
  }
  if (!startIsNumber) throw ConversionError(conversionError);
}

void TOpen::EraseCursor() {
  if (!view_.CursorDrawn) return;
  Canvas& canvas = plot_->PlotCanvas();
  canvas.SetPenMode(PenMode::Xor);
  canvas.SetPenWidth(1);
  canvas.MoveTo(view_.CursorX, 0);
  canvas.LineTo(view_.CursorX, canvas.Height());
  canvas.MoveTo(0, view_.CursorY);
  canvas.LineTo(canvas.Width(), view_.CursorY);
  canvas.SetPenMode(PenMode::Copy);
  view_.CursorDrawn = false;
}

int TOpen::CursorSample() const {
  const float t = static_cast<float>((view_.CursorX - lastDraw_.LastFrame.OriginX) / 600.0 * view_.WidthSeconds);
  const double step = view_.Start + static_cast<double>(t) / record_.Dt;
  // The sample under the cursor, kept inside the range of an int.
  return static_cast<int>(std::clamp(step, -2147483648.0, 2147483647.0));
}

void TOpen::MyWave1MouseMove(int x, int y) {
  if (!loaded_) return;
  Canvas& canvas = plot_->PlotCanvas();
  const int width = canvas.Width();
  const int height = canvas.Height();
  EraseCursor();
  view_.CursorX = x;
  view_.CursorY = y;
  const int step = CursorSample();
  const WaveFrame& frame = lastDraw_.LastFrame;
  const float value = frame.UnitLenY != 0
                          ? static_cast<float>(static_cast<double>(frame.OriginY - y) * frame.VValueY / frame.UnitLenY)
                          : 0.0f;
  const float seconds = static_cast<float>(static_cast<double>(step - view_.Start) / record_.Rate);
  if (view_.SingleChannel && step > 0) {
    const std::string unit = DisplayUtf8(SlotText(record_.Units[view_.SingleIndex]));
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
  view_.CursorDrawn = true;
  if (x <= 5 || y <= 5 || x >= width - 5 || y >= height - 5) EraseCursor();
  canvas.SetPenMode(PenMode::Copy);
  plot_->Refresh();
}

void TOpen::MyWave1Click() {
  if (!loaded_) return;
  EraseCursor();
  TrackBar1->setValue(std::clamp(CursorSample(), 0, TrackBar1->maximum()));
  view_.CursorDrawn = false;
  plot_->Refresh();
}

void TOpen::Button3Click() { plot_->Wave().Copy(platform_); }

void TOpen::Button7Click() {
  const std::string chosen = platform_.SaveFileName({kPngFilter, 1, true, {}, {}});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".png");
  TPNGObject png;
  png.Assign(plot_->PlotCanvas().Image());
  const PngResult result = png.SaveToFile(path);
  // Reported as the general error handler reports a failed file operation.
  if (!result.ok) platform_.ShowMessage(result.message, kApplicationTitle, MessageIcon::Error);
}
