#include "app/UAbout.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <cmath>

#include "io/Version.h"
#include "components/qt/AccessibleNames.h"
#include "components/qt/Fonts.h"
#include "components/qt/ScreenCentre.h"
#include "components/qt/WindowLook.h"
#include "components/qt/TkBtn.h"

namespace {

const QColor kBackground(238, 250, 201);
const QColor kPanelText(0, 0, 128);  // navy
constexpr int kPanelFontPixels = 16;

// A plain panel with a lowered outer and a raised inner bevel.
class AboutPanel : public QWidget {
 public:
  explicit AboutPanel(QWidget* parent) : QWidget(parent) {
    look_.BevelOuter = TPanelBevel::Lowered;
    look_.BevelInner = TPanelBevel::Raised;
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    const QRect inside = PaintPanelFrame(painter, rect(), look_, palette());
    painter.fillRect(inside, palette().color(QPalette::Window));
  }

 private:
  TPanelLook look_;
};

// The illustration's oscillation, in pixels: amplitude, decay per pixel and
// angular frequency per pixel of a free decay that starts at the left axis.
constexpr double kAmplitude = 58.0;
constexpr double kDecay = 0.018;
constexpr double kOmega = 0.2;
constexpr double kPhase = 0.35;

double Fitted(double t) { return kAmplitude * std::exp(-kDecay * t) * std::cos(kOmega * t + kPhase); }

// "Measured": the decay with a slow drift and some ripple of higher modes.
double Measured(double t) {
  return Fitted(t) + 5.0 * std::sin(0.93 * t + 0.4) * std::exp(-0.01 * t) + 2.5 * std::sin(1.71 * t + 1.3) +
         5.0 * std::sin(0.025 * t);
}

}  // namespace

QImage TAbout::Illustration(qreal devicePixelRatio) {
  constexpr int kSize = kPictureSize;
  constexpr int kAxisX = 10;          // time axis starts here
  constexpr int kAxisY = 84;          // zero line
  constexpr int kEnd = kSize - 6;     // last pixel of the curves
  QImage image(qRound(kSize * devicePixelRatio), qRound(kSize * devicePixelRatio), QImage::Format_RGB32);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(QColor(255, 255, 255));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);

  // Light axes and a dotted grid.
  painter.setPen(QPen(QColor(222, 228, 236), 1, Qt::DotLine));
  for (int y = kAxisY - 60; y <= kAxisY + 60; y += 30) painter.drawLine(kAxisX, y, kEnd, y);
  for (int x = kAxisX + 30; x <= kEnd; x += 30) painter.drawLine(x, kAxisY - 66, x, kAxisY + 66);
  painter.setPen(QPen(QColor(180, 190, 205), 1));
  painter.drawLine(kAxisX, kAxisY, kEnd, kAxisY);
  painter.drawLine(kAxisX, kAxisY - 70, kAxisX, kAxisY + 70);

  auto curve = [&](double (*shape)(double)) {
    QPainterPath path;
    for (int x = kAxisX; x <= kEnd; ++x) {
      const QPointF p(x, kAxisY - shape(x - kAxisX));
      if (x == kAxisX) path.moveTo(p); else path.lineTo(p);
    }
    return path;
  };
  painter.setPen(QPen(QColor(255, 0, 0), 1.0));
  painter.drawPath(curve(Measured));
  painter.setPen(QPen(QColor(0, 0, 255), 1.3));
  painter.drawPath(curve(Fitted));

  // The points the fit used: every eighth pixel of the measured record.
  painter.setPen(QPen(QColor(0, 128, 0), 1.0));
  painter.setBrush(Qt::white);
  for (int x = kAxisX; x <= kEnd; x += 8) {
    painter.drawEllipse(QPointF(x, kAxisY - Measured(x - kAxisX)), 1.8, 1.8);
  }

  // The subject across the lower part of the picture.
  QFont font(QString::fromLatin1(kRoundedFontFamily));
  font.setPixelSize(20);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0, 128, 0));
  painter.drawText(QRect(0, kSize - 30, kSize, 26), Qt::AlignCenter, "減衰振動");
  font.setPixelSize(11);
  painter.setFont(font);
  painter.drawText(QRect(0, 2, kSize, 14), Qt::AlignCenter, "Free Vibration");
  return image;
}

TAbout::TAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("About");
  setWindowTitle("バージョン情報");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kBackground);
  setPalette(colours);
  setAutoFillBackground(true);

  Panel1 = new AboutPanel(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(8, 8, 369, 209);
  QFont panelFont(QString::fromLatin1(kRoundedFontFamily));
  panelFont.setPixelSize(kPanelFontPixels);
  panelFont.setBold(true);
  Panel1->setFont(panelFont);
  QPalette panelColours = Panel1->palette();
  SetLiveTextColour(panelColours, QPalette::WindowText, kPanelText);
  Panel1->setPalette(panelColours);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setGeometry(8, 16, kPictureSize, kPictureSize);
  ProgramIcon->setPixmap(QPixmap::fromImage(Illustration(devicePixelRatioF())));

  auto label = [this](const char* name, const QString& text, int x, int y) {
    auto* l = new QLabel(text, Panel1);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
  };
  ProductName = label("ProductName", "自由振動/減衰振動", 200, 40);
  Version = label("Version", QString("Oscalyx  ") + kVersionLabel, 208, 72);
  ReleaseDate = label("ReleaseDate", "2009/07/01", 232, 104);
  // The build this is, in the panel's small print, for tracing a result.
  Build = label("Build", QString("revision %1, %2").arg(SourceRevision(), BuildDate()), 200, 176);
  QFont small = Build->font();
  small.setPixelSize(11);
  small.setBold(false);
  Build->setFont(small);
  Build->adjustSize();

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setGeometry(159, 228, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  NameControls(*this);
}

void TAbout::ShowWindow() {
  show();
  raise();
  activateWindow();
}

void TAbout::OKButtonClick() { hide(); }

void TAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}
