// The band-pass dialog, the picture button with the formula, and the how-to
// and version windows, driven headless.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <climits>
#include <string>
#include <vector>

#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UHowTo.h"
#include "components/qt/FormulaPicture.h"
#include "components/qt/TkBtn.h"
#include "components/qt/WindowLook.h"
#include "io/WriteCsv.h"
#include "session/Session.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TempDir.h"
#include "tests/support/RecordingPlatform.h"

namespace {

class DialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureQtApp(); }
};

// ---- TCenter --------------------------------------------------------------

struct CenterFixture {
  RecordingPlatform platform;
  Session session;
  TCenter dialog{platform, session};
  std::vector<QString> labels;
  TempDir dir;

  CenterFixture() {
    // Every OK that closes the dialog reports the filter label it leaves.
    QObject::connect(&dialog, &QDialog::accepted, [this] { labels.push_back(dialog.Label34Text()); });
    dialog.show();
  }
  void Enter(const QString& centre, const QString& ratio, bool on) {
    dialog.SetCenterText(centre);
    dialog.SetRatioText(ratio);
    dialog.SetBandOn(on);
  }
  // A record of 100 samples per second in the session, against whose rate
  // the dialog judges a band.
  void LoadRecordAt100PerSecond() {
    WaveData record;
    record.ChannelCount = 1;
    record.SampleCount = 10;
    record.Rate = 100;
    record.Samples[0].assign(10, 1.0f);
    const std::string path = dir.File("r.csv");
    ASSERT_TRUE(WriteCsv(path, record).ok);
    ASSERT_TRUE(session.Load({path, FileKind::Csv, std::nullopt}).ok());
  }
};

// The edges an OK confirmed, as a pair to compare.
std::pair<float, float> Edges(const TCenter& dialog) {
  const auto& edges = dialog.ConfirmedEdges();
  return edges ? std::pair{edges->Lower, edges->Upper} : std::pair{0.0f, 0.0f};
}

TEST_F(DialogsTest, CheckedOkStoresSinglePrecisionEdgesAndTheBandText) {
  struct Case {
    const char* centre;
    const char* ratio;
    float lower;
    float upper;
    const char* label;
  };
  // (1 - 0.1f) x 2 rounds to 1.8f and (1 + 0.1f) x 2 to 2.2f; 3.7 and 0.25
  // give 2.775f (printed 2.78) and exactly 4.625 (printed 4.62, a tie to even).
  const Case cases[] = {
      {"2", "0.1", 1.8f, 2.2f, "1.80-2.20Hz"},
      {"3.7", "0.25", 2.775f, 4.625f, "2.78-4.62Hz"},
      {" 12.5 ", "0.5", 6.25f, 18.75f, "6.25-18.75Hz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.centre);
    CenterFixture f;
    f.Enter(c.centre, c.ratio, true);
    f.dialog.Button1Click();
    EXPECT_TRUE(f.platform.messages.empty());
    EXPECT_EQ(Edges(f.dialog), std::pair(c.lower, c.upper));
    EXPECT_EQ(f.dialog.Label34Text(), c.label);
    ASSERT_EQ(f.labels.size(), 1u);
    EXPECT_EQ(f.labels[0], c.label);
    EXPECT_EQ(f.dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(f.dialog.isVisible());
  }
}

TEST_F(DialogsTest, UncheckedOkShowsNoneConfirmsNoEdgesAndReadsNoText) {
  CenterFixture f;
  f.Enter("2", "0.1", true);
  f.dialog.Button1Click();
  f.dialog.show();
  // Unchecked, the texts are not read: even a non-number passes.
  f.Enter("abc", "", false);
  f.dialog.Button1Click();
  EXPECT_TRUE(f.platform.messages.empty());
  EXPECT_FALSE(f.dialog.ConfirmedEdges().has_value());
  ASSERT_EQ(f.labels.size(), 2u);
  EXPECT_EQ(f.labels[1], "なし");
  EXPECT_EQ(f.dialog.Label34Text(), "なし");
  EXPECT_FALSE(f.dialog.isVisible());
  EXPECT_FALSE(f.dialog.BandOn());
  EXPECT_EQ(f.dialog.CenterText(), "abc");
}

TEST_F(DialogsTest, BandsTheFilterCannotUseAreRefusedAndTheDialogStaysOpen) {
  struct Case {
    const char* centre;
    const char* ratio;
    const char* names;  // what the message must be about
  };
  const Case cases[] = {
      {"0", "0.1", "中央振動数"},     {"-2.5", "0.1", "中央振動数"}, {"2", "0", "帯域幅率"},
      {"2", "1", "帯域幅率"},         {"2", "1.5", "帯域幅率"},      {"2", "-0.1", "帯域幅率"},
      {"2", "0.99999999", "帯域幅率"},  // 1 in single precision
      {"1e39", "0.1", "中央振動数"},  // beyond single precision
      {"3e38", "0.1", "中央振動数"},  // the outer edge 1.5 fH would be
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.centre) + " / " + c.ratio);
    CenterFixture f;
    f.Enter(c.centre, c.ratio, true);
    f.dialog.Button1Click();
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_NE(f.platform.messages[0].text.find(c.names), std::string::npos) << f.platform.messages[0].text;
    EXPECT_EQ(f.platform.messages[0].title, "入力エラー");
    EXPECT_EQ(f.platform.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(f.dialog.isVisible());
    EXPECT_NE(f.dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(f.labels.empty());
    EXPECT_FALSE(f.dialog.ConfirmedEdges().has_value());
  }
  // The allowed range is named in the refusal.
  CenterFixture f;
  f.Enter("2", "1", true);
  f.dialog.Button1Click();
  EXPECT_NE(f.platform.messages.at(0).text.find("1未満"), std::string::npos);
}

TEST_F(DialogsTest, BandsReachingHalfTheLoadedRateAreRefused) {
  CenterFixture f;
  f.LoadRecordAt100PerSecond();
  f.Enter("1000", "0.5", true);
  f.dialog.Button1Click();
  ASSERT_EQ(f.platform.messages.size(), 1u);
  EXPECT_EQ(f.platform.messages[0].title, "入力エラー");
  EXPECT_NE(f.platform.messages[0].text.find("サンプリング周波数の半分（50.00Hz）"), std::string::npos)
      << f.platform.messages[0].text;
  EXPECT_TRUE(f.dialog.isVisible());
  EXPECT_FALSE(f.dialog.ConfirmedEdges().has_value());
  // 30 ± 10 %: 1.5 × 33 Hz = 49.5 Hz stays below 50 Hz.
  f.Enter("30", "0.1", true);
  f.dialog.Button1Click();
  EXPECT_EQ(f.platform.messages.size(), 1u);
  EXPECT_EQ(f.labels, std::vector<QString>{"27.00-33.00Hz"});
}

TEST_F(DialogsTest, CentreSoSmallThatNoFilterCanBeDesignedIsRefused) {
  // 1e-44 Hz is above 0, but its edges round to 0 cycles per sample.
  CenterFixture f;
  f.LoadRecordAt100PerSecond();
  f.Enter("1e-44", "0.1", true);
  f.dialog.Button1Click();
  ASSERT_EQ(f.platform.messages.size(), 1u);
  EXPECT_EQ(f.platform.messages[0].title, "入力エラー");
  EXPECT_TRUE(f.dialog.isVisible());
  EXPECT_TRUE(f.labels.empty());
  EXPECT_FALSE(f.dialog.ConfirmedEdges().has_value());
}

TEST_F(DialogsTest, NonNumbersShowTheConversionMessageAndStoreNothing) {
  struct Case {
    const char* centre;
    const char* ratio;
    const char* bad;  // the text the message names
  };
  const Case cases[] = {{"abc", "0.1", "abc"}, {"2", "0.1x", "0.1x"}, {"", "0.1", ""}, {"2", "1,5", "1,5"}};
  for (const auto& [centre, ratio, bad] : cases) {
    SCOPED_TRACE(std::string(centre) + " / " + ratio);
    CenterFixture f;
    f.Enter(centre, ratio, true);
    f.dialog.Button1Click();
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_THAT(f.platform.messages[0].text,
                ::testing::StartsWith("'" + std::string(bad) + "' は浮動小数点数ではありません\n"));
    EXPECT_TRUE(f.dialog.isVisible());
    EXPECT_TRUE(f.labels.empty());
    EXPECT_FALSE(f.dialog.ConfirmedEdges().has_value());
  }
}

TEST_F(DialogsTest, ModalRunEndsWhenOkOrTheCloseBoxClosesIt) {
  RecordingPlatform platform;
  Session session;
  TCenter dialog(platform, session);
  dialog.SetBandOn(true);
  dialog.SetCenterText("2");
  QTimer::singleShot(0, &dialog, [&] { dialog.Button1Click(); });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(Edges(dialog), std::pair(1.8f, 2.2f));

  // A refused OK keeps the modal run going; the close box then ends it,
  // confirming nothing, and the filter label of the last OK stays.
  dialog.SetRatioText("2");
  QTimer::singleShot(0, &dialog, [&] {
    dialog.Button1Click();
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
  });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_FALSE(dialog.ConfirmedEdges().has_value());
  EXPECT_EQ(dialog.Label34Text(), "1.80-2.20Hz");
}

// ---- TTkBtn ---------------------------------------------------------------

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
  QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

QImage Solid(int w, int h, QColor colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Bounding box of the pixels that differ from `background`.
QRect InkBox(const QImage& image, QRgb background) {
  int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == background) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

TEST_F(DialogsTest, PictureButtonPaintsPictureInsideItsBevelsAndLowersWhileHeld) {
  TTkBtn button;
  EXPECT_EQ(button.size(), QSize(75, 25));
  button.resize(60, 30);
  button.SetBevelWidth(3);
  button.Set_Picture(Solid(10, 10, QColor(200, 30, 40)));
  int clicks = 0;
  int emitted = 0;
  button.onClick = [&] { ++clicks; };
  QObject::connect(&button, &TTkBtn::clicked, [&] { ++emitted; });
  const QColor light = button.palette().color(QPalette::Light);
  const QColor dark = button.palette().color(QPalette::Dark);
  ASSERT_NE(light, dark);

  QImage shot = button.grab().toImage();
  EXPECT_EQ(shot.pixelColor(30, 15), QColor(200, 30, 40));  // stretched over the client area
  EXPECT_EQ(shot.pixel(1, 1), light.rgb());                    // raised: light top-left
  EXPECT_EQ(shot.pixel(2, 15), light.rgb());
  EXPECT_EQ(shot.pixel(58, 28), dark.rgb());
  EXPECT_EQ(shot.pixelColor(3, 15), QColor(200, 30, 40));    // three rings only

  SendMouse(button, QEvent::MouseButtonPress, Qt::LeftButton, {30, 15});
  EXPECT_EQ(button.BevelOuter(), TPanelBevel::Lowered);
  shot = button.grab().toImage();
  EXPECT_EQ(shot.pixel(1, 1), dark.rgb());
  EXPECT_EQ(shot.pixel(58, 28), light.rgb());
  EXPECT_EQ(clicks, 0);

  SendMouse(button, QEvent::MouseButtonRelease, Qt::LeftButton, {30, 15});
  EXPECT_EQ(button.BevelOuter(), TPanelBevel::Raised);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(emitted, 1);

  // The right button changes nothing and clicks nothing.
  SendMouse(button, QEvent::MouseButtonPress, Qt::RightButton, {30, 15});
  EXPECT_EQ(button.BevelOuter(), TPanelBevel::Raised);
  SendMouse(button, QEvent::MouseButtonRelease, Qt::RightButton, {30, 15});
  EXPECT_EQ(clicks, 1);

  // Released away from the button: raised again, but no click.
  SendMouse(button, QEvent::MouseButtonPress, Qt::LeftButton, {30, 15});
  SendMouse(button, QEvent::MouseButtonRelease, Qt::LeftButton, {90, 15});
  EXPECT_EQ(button.BevelOuter(), TPanelBevel::Raised);
  EXPECT_EQ(clicks, 1);

  // Disabled, as the main window keeps it while several channels are shown.
  button.setEnabled(false);
  SendMouse(button, QEvent::MouseButtonPress, Qt::LeftButton, {30, 15});
  SendMouse(button, QEvent::MouseButtonRelease, Qt::LeftButton, {30, 15});
  EXPECT_EQ(button.BevelOuter(), TPanelBevel::Raised);
  EXPECT_EQ(clicks, 1);
}

TEST_F(DialogsTest, ClearedPictureButtonPaintsAsAPlainPanelWithItsCaption) {
  TTkBtn button;
  button.resize(120, 40);
  const QColor face(10, 200, 30);
  button.SetColor(face);
  button.Set_Picture(Solid(4, 4, QColor(255, 0, 255)));
  button.Set_Picture(QImage());
  EXPECT_TRUE(button.PictureImg().isNull());
  QImage shot = button.grab().toImage();
  EXPECT_EQ(shot.pixelColor(60, 20), face);
  EXPECT_EQ(shot.pixel(0, 20), button.palette().color(QPalette::Light).rgb());
  EXPECT_TRUE(InkBox(shot.copy(1, 1, 118, 38), face.rgb()).isNull());

  // The caption: centred by default, vertically centred on the line height.
  button.SetCaption("WWW");
  shot = button.grab().toImage().copy(1, 1, 118, 38);
  const QRect centred = InkBox(shot, face.rgb());
  ASSERT_FALSE(centred.isNull());
  EXPECT_NEAR(centred.center().x(), 59, 2);
  EXPECT_NEAR(centred.center().y(), 19, 4);

  button.SetAlignment(Qt::AlignLeft);
  const QRect left = InkBox(button.grab().toImage().copy(1, 1, 118, 38), face.rgb());
  EXPECT_LT(left.left(), 4);
  button.SetAlignment(Qt::AlignRight);
  const QRect right = InkBox(button.grab().toImage().copy(1, 1, 118, 38), face.rgb());
  EXPECT_GT(right.right(), 112);
  EXPECT_EQ(right.top(), left.top());
}

TEST_F(DialogsTest, FormulaPictureIsTypesetBlackOnWhiteWithinItsMargins) {
  const QImage picture = FormulaPicture();
  ASSERT_EQ(picture.size(), QSize(388, 52));
  EXPECT_FALSE(picture.hasAlphaChannel());
  EXPECT_GE(picture.depth(), 24);
  int dark = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QColor c = picture.pixelColor(x, y);
      EXPECT_TRUE(c.red() == c.green() && c.green() == c.blue()) << x << "," << y;  // grey levels only
      if (c.value() < 64) ++dark;
    }
  }
  EXPECT_GT(dark, 600);  // a whole line of type, not a few specks
  const QRect ink = InkBox(picture, qRgb(255, 255, 255));
  EXPECT_LT(ink.left(), 40);
  EXPECT_GT(ink.right(), 348);
  EXPECT_GT(ink.top(), 0);
  EXPECT_LT(ink.bottom(), 51);
  EXPECT_NEAR(ink.center().x(), 194, 3);
}

// ---- THowTo and TAbout ------------------------------------------------------

TEST_F(DialogsTest, HowToWindowHoldsEveryHelpSectionInOrder) {
  THowTo window;
  const QString text = window.Memo1->toPlainText();
  EXPECT_TRUE(text.startsWith("自由振動/減衰振動　Oscalyx　Ver2.0　(2009/07/01)"));
  const char* headings[] = {"０．10秒ガイド",
                            "１．概要",
                            "２．標準フォーマットCSV形式テキストファイル",
                            "３．SPC-51計測データファイル",
                            "４．波形データの読込と波形表示",
                            "５．減衰曲線の評価",
                            "６．散布図",
                            "７．バンドパスフィルタ処理",
                            "更新履歴"};
  const QStringList lines = text.split('\n');
  int previous = -1;
  for (const char* heading : headings) {
    const int at = lines.indexOf(QString::fromUtf8(heading));
    EXPECT_GT(at, previous) << heading;  // a line of its own, in order
    previous = at;
  }
  for (const char* fact : {"sample0.csv", "2000", "減衰特性.csv", "0.03", "5％", "100点", "90％", "リセット",
                           "グラフ書式", "1.8Hz－2.2Hz", "2009/06/06　Ver1.0", "2009/06/15", "2009/07/01　Ver2.0"}) {
    EXPECT_TRUE(text.contains(QString::fromUtf8(fact))) << fact;
  }
}

TEST_F(DialogsTest, SecondaryWindowsOpenModelessAndCloseByHiding) {
  THowTo howTo;
  howTo.ShowWindow();
  EXPECT_TRUE(howTo.isVisible());
  EXPECT_FALSE(howTo.isModal());
  howTo.Memo1->setPlainText("edited");
  howTo.ShowWindow();  // a second open keeps the one window and its text
  EXPECT_TRUE(howTo.isVisible());
  howTo.Button1->click();
  EXPECT_FALSE(howTo.isVisible());
  howTo.ShowWindow();
  EXPECT_EQ(howTo.Memo1->toPlainText(), "edited");
  howTo.close();
  EXPECT_FALSE(howTo.isVisible());

  TAbout about;
  about.ShowWindow();
  EXPECT_TRUE(about.isVisible());
  EXPECT_FALSE(about.isModal());
  about.OKButton->click();
  EXPECT_FALSE(about.isVisible());
}

TEST_F(DialogsTest, VersionWindowPanelAndIllustration) {
  TAbout about;
  EXPECT_EQ(about.Version->text(), "Oscalyx  Ver2.0");
  EXPECT_TRUE(about.OKButton->isDefault());

  // The panel: lowered outer bevel (dark top-left ring), raised inner one.
  const QImage panel = about.Panel1->grab().toImage();
  EXPECT_EQ(panel.pixel(0, 100), about.palette().color(QPalette::Dark).rgb());
  EXPECT_EQ(panel.pixel(1, 100), about.palette().color(QPalette::Light).rgb());

  const QImage picture = TAbout::Illustration();
  ASSERT_EQ(picture.size(), QSize(170, 170));
  int red = 0, blue = 0, green = 0;
  for (int y = 0; y < 170; ++y) {
    for (int x = 0; x < 170; ++x) {
      const QColor c = picture.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++red;
      if (c.blue() > 200 && c.red() < 80 && c.green() < 80) ++blue;
      if (c.green() > 100 && c.red() < 60 && c.blue() < 60) ++green;
    }
  }
  EXPECT_GT(red, 40);    // the measured record shows beside the fit
  EXPECT_GT(blue, 200);  // the fitted curve
  EXPECT_GT(green, 100); // the subject and the fit points
}

}  // namespace
