#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "components/qt/Translations.h"
#include "tests/support/MainWindowFixture.h"

namespace {

TEST_F(MainWindowTest, StartsWithNoRecord) {
  EXPECT_EQ(open->windowTitle(), "自由振動/減衰振動　Oscalyx Ver2.0");
  EXPECT_FALSE(GroupBox2()->isEnabled());
  EXPECT_FALSE(BtnFilter()->isEnabled());
  EXPECT_FALSE(Button9()->isEnabled());
  EXPECT_FALSE(Button11()->isEnabled());
  EXPECT_FALSE(TkBtn1()->isVisibleTo(open.get()));
  EXPECT_FALSE(CSVF()->isEnabled());
  EXPECT_FALSE(CenterPass()->isEnabled());
  EXPECT_FALSE(TIMESCALE()->isEnabled());
  EXPECT_TRUE(StepItem(1)->isChecked());
  EXPECT_EQ(EdInitF()->text(), "3.0");
  EXPECT_EQ(EdInitH()->text(), "0.03");
  EXPECT_EQ(Label34()->text(), "なし");
  EXPECT_EQ(WidthItem(2)->text(), "５sec");
  EXPECT_TRUE(WidthItem(2)->isChecked());
  EXPECT_EQ(session->ResultsPath(), dir.path() + "/減衰特性.csv");
  EXPECT_FALSE(session->Loaded());
  ASSERT_NE(open->findChild<QPushButton*>("Button6"), nullptr);
  EXPECT_FALSE(Button6()->isVisibleTo(open.get()));
}

TEST_F(MainWindowTest, LoadingAOneChannelFileShowsItAndEnablesTheEvaluation) {
  Load(kSample0);
  ASSERT_TRUE(session->Loaded());
  EXPECT_EQ(platform.requests.back().filterIndex, 1);
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  EXPECT_EQ(LabelChannels()->text(), "1");
  EXPECT_EQ(LabelData()->text(), "6000");
  EXPECT_EQ(LabelRate()->text(), "100/sec");
  EXPECT_EQ(LabelRecordTime()->text(), "60.0sec");
  EXPECT_EQ(Label17()->text(), "5.0sec");
  EXPECT_EQ(EdInitF()->text(), "2.0");
  EXPECT_EQ(EdInitH()->text(), "0.03");
  EXPECT_TRUE(Button9()->isEnabled());
  EXPECT_TRUE(TkBtn1()->isVisibleTo(open.get()));
  EXPECT_TRUE(CB(0)->isChecked());
  EXPECT_FALSE(CB(1)->isEnabled());
  EXPECT_FALSE(CSVF()->isEnabled());
  EXPECT_TRUE(BtnFilter()->isEnabled());
  EXPECT_EQ(TrackBar1()->maximum(), 6000);
  EXPECT_EQ(Results(), ResultsHeaderLine());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(MainWindowTest, LoadingAThreeChannelFileLeavesTheEvaluationOff) {
  Load(ThreeChannelCsv());
  EXPECT_TRUE(CB(2)->isChecked());
  EXPECT_FALSE(CB(3)->isEnabled());
  EXPECT_FALSE(Button9()->isEnabled());
  EXPECT_FALSE(TkBtn1()->isVisibleTo(open.get()));
  EXPECT_EQ(LabelRate()->text(), "100/sec");
  EXPECT_EQ(LabelRecordTime()->text(), "10.0sec");
  EXPECT_EQ(Label17()->text(), "5.0sec");
  EXPECT_EQ(EdInitF()->text(), "2.0");
  // One channel shown: the evaluation comes on.
  open->Button8Click();
  CB(1)->setChecked(true);
  open->Button2Click();
  EXPECT_TRUE(Button9()->isEnabled());
  EXPECT_EQ(session->View().SingleIndex, 1);
}

TEST_F(MainWindowTest, CancelAndRefusedFilesKeepTheLoadedRecord) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button6Click();
  const std::string rows = Results();
  ASSERT_NE(rows, ResultsHeaderLine());

  Load("");  // cancelled
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  const std::string refused = dir.Write("bad.csv", "A\n0\nm\nu\n1\n");
  Load(refused);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].title, "読み込みエラー");
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  EXPECT_EQ(session->Record().SampleCount, 6000);
  EXPECT_EQ(Results(), rows);  // the rows of this record are still there
  EXPECT_EQ(platform.quitRequests, 0);

  Load(dir.File("missing.csv"));
  // The fixed message, then which file and why.
  EXPECT_EQ(platform.messages.back().text, "ファイルが開けません\n「" + dir.File("missing.csv") +
                                               "」：ファイルまたはフォルダが見つかりません。ファイルの場所と名前を確かめてください。");
  EXPECT_EQ(platform.messages.back().title, "ファイルオープンエラー");
  EXPECT_EQ(platform.messages.back().icon, MessageIcon::Warning);
  EXPECT_EQ(platform.quitRequests, 0);  // the program goes on with the record it has
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  EXPECT_EQ(session->Record().SampleCount, 6000);
  EXPECT_EQ(Results(), rows);
}

TEST_F(MainWindowTest, SecondLoadEmptiesTheResultsFileAndTheAverages) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button6Click();
  open->Button6Click();
  EXPECT_EQ(Label25()->text(), "2回");
  Load(kSample0);
  EXPECT_EQ(Results(), ResultsHeaderLine());
  EXPECT_EQ(Label23()->text(), "");
  EXPECT_EQ(Label25()->text(), "");
}

TEST_F(MainWindowTest, Spc51LoadEnablesTheConversionAndTheRadioGroupDisablesTheFilter) {
  Load(kSample1, true);
  EXPECT_EQ(platform.requests.back().filterIndex, 2);
  EXPECT_TRUE(CSVF()->isEnabled());
  EXPECT_EQ(LabelRate()->text(), "200/sec");
  EXPECT_EQ(EdInitF()->text(), "4.0");
  RadioCsv()->setChecked(true);
  EXPECT_TRUE(CSVF()->isEnabled());
  EXPECT_FALSE(BtnFilter()->isEnabled());
  EXPECT_FALSE(CenterPass()->isEnabled());
  EXPECT_EQ(session->Record().SourceKind, FileKind::Csv);
}

TEST_F(MainWindowTest, StartBoxSliderAndArrows) {
  Load(kSample0);
  // While typing, an empty box or a half-typed number is no error and moves
  // nothing; Return takes the start.
  for (const char* typed : {"", "1", "15", "150", "1500"}) Edit1()->setText(typed);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(TrackBar1()->value(), 0);
  TypeStart("1500");
  EXPECT_EQ(TrackBar1()->value(), 1500);
  EXPECT_EQ(session->View().Start, 1500);
  TypeStart("");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "'' は整数ではありません\n半角数字の整数で入力してください（例：2000）。");
  EXPECT_EQ(TrackBar1()->value(), 1500);
  TypeStart("300");
  open->Button4Click();
  EXPECT_EQ(TrackBar1()->value(), 0);
  EXPECT_EQ(Edit1()->text(), "0");
  TypeStart("99999");
  EXPECT_EQ(TrackBar1()->value(), 6000);
  EXPECT_EQ(Edit1()->text(), "6000");
  open->StepClick(2000);
  EXPECT_EQ(Label12()->text(), "2000");
  EXPECT_EQ(Label17()->text(), "20.0秒");
  EXPECT_TRUE(StepItem(3)->isChecked());
  EXPECT_FALSE(StepItem(1)->isChecked());
}

TEST_F(MainWindowTest, TimeScaleModesReplaceTheWidthCaptions) {
  Load(kSample0);
  open->DIV10Click();
  EXPECT_EQ(WidthItem(2)->text(), "0.1sec");
  EXPECT_TRUE(WidthItem(2)->isChecked());
  EXPECT_FLOAT_EQ(session->View().WidthSeconds, 0.1f);
  WidthItem(0)->setChecked(true);
  open->RadioGroup2Click();
  EXPECT_EQ(session->View().WidthSeconds, static_cast<float>(2 * 0.01f));
  open->DIV1Click();
  EXPECT_EQ(WidthItem(2)->text(), "５sec");
  EXPECT_EQ(session->View().WidthSeconds, 5.0f);
}

TEST_F(MainWindowTest, CursorReadoutAndClick) {
  Load(kSample0);
  const QImage before = open->Plot()->PlotCanvas().Bitmap();
  open->MyWave1MouseMove(80, 100);  // the origin's x: step 0
  EXPECT_EQ(Label16()->text(), "X = 0(step),  0.00(sec)");
  EXPECT_NE(open->Plot()->PlotCanvas().Bitmap(), before);
  open->MyWave1MouseMove(200, 67);  // one second on, 133 pixels above the axis
  EXPECT_TRUE(Label16()->text().startsWith("X = 100(step),  1.00(sec)    Y = ")) << Label16()->text().toStdString();
  EXPECT_TRUE(Label16()->text().endsWith("(cm/s2)"));
  open->MyWave1MouseMove(2, 2);  // at the edge: no crosshair stays
  EXPECT_EQ(open->Plot()->PlotCanvas().Bitmap(), before);
  open->MyWave1MouseMove(320, 100);
  open->MyWave1Click();
  EXPECT_EQ(TrackBar1()->value(), 200);
  EXPECT_EQ(Edit1()->text(), "200");
}

TEST_F(MainWindowTest, EvaluationOfTheSampleIsAcceptedDrawnAndRecorded) {
  Load(kSample0);
  Edit1()->setText("2000");
  const QImage view = open->Plot()->PlotCanvas().Bitmap();
  open->Button9Click();
  ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].text;
  EXPECT_NE(Label28()->text(), "failed");
  EXPECT_EQ(Label25()->text(), "1回");
  EXPECT_FALSE(Label15()->text().isEmpty());
  EXPECT_TRUE(Label19()->text().endsWith("％"));
  EXPECT_EQ(center->findChild<QLineEdit*>("EdCenter")->text(), Label28()->text());
  EXPECT_NE(open->Plot()->PlotCanvas().Bitmap(), view);
  const std::string results = Results();
  EXPECT_EQ(results.rfind(ResultsHeaderLine() + "sample0.csv,1ch,P1,", 0), 0u) << results;
  EXPECT_EQ(results.substr(results.size() - 2), "\r\n");
}

TEST_F(MainWindowTest, EvaluationFailuresAreReportedAndTheProgramGoesOn) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button6Click();
  const std::string rows = Results();
  EdInitH()->setText("1.0");
  open->Button6Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "減衰係数の評価が異常です\n減衰比が 1 以上になりました。初期値 h を 0〜1 の範囲で見直してください。");
  EXPECT_EQ(platform.messages[0].title, "評価エラー");
  EXPECT_EQ(platform.quitRequests, 0);
  EXPECT_EQ(Results(), rows);

  EdInitH()->setText("abc");
  Button9()->click();  // through the control, as every error reaches the general handler
  EXPECT_EQ(platform.messages.back().text, "'abc' は浮動小数点数ではありません\n半角数字の数値で入力してください（例：1.5、0.03、1e-3）。");
}

TEST_F(MainWindowTest, ResultsFileThatCannotBeCreatedWarnsOnceAndEvaluationsGoOn) {
  std::filesystem::create_directory(dir.File("減衰特性.csv"));  // a folder stands where the file belongs
  Load(kSample0);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].title, "結果ファイル");
  Edit1()->setText("2000");
  open->Button6Click();
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(Label25()->text(), "1回");
}

TEST_F(MainWindowTest, SavedPictureIsThePlotAsItStands) {
  Load(kSample0);
  open->MyWave1MouseMove(300, 150);  // the crosshair is part of the picture
  platform.saveAnswer = dir.File("wave");
  open->Button7Click();
  // The dialog offers the record's name as a picture, in the record's folder.
  EXPECT_EQ(platform.requests.back().fileName, "sample0.png");
  EXPECT_EQ(platform.requests.back().directory, std::string(OSCALYX_SOURCE_DIR) + "/sample");
  QImage saved(QString::fromStdString(dir.File("wave.png")));
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), open->Plot()->PlotCanvas().Bitmap().convertToFormat(QImage::Format_RGB32));
  platform.saveAnswer = dir.File("wave.dat");
  open->Button7Click();
  EXPECT_TRUE(std::filesystem::exists(dir.File("wave.dat")));
  open->Button3Click();
  ASSERT_EQ(platform.clipboard.size(), 1u);
  EXPECT_EQ(platform.clipboard[0].width, 753);
  EXPECT_EQ(platform.clipboard[0].height, 401);
}

TEST_F(MainWindowTest, FileNameOfFiftyOneCharactersIsShownAndWrittenWhole) {
  const std::string name = std::string(47, 'w') + ".csv";
  std::filesystem::copy_file(kSample0, dir.File(name));
  Load(dir.File(name));
  EXPECT_EQ(LabelFileName()->text().toStdString(), name);
  Edit1()->setText("2000");
  open->Button6Click();
  EXPECT_NE(Results().find("\r\n" + name + ",1ch,P1,"), std::string::npos);
}

// A load that does not happen leaves the record shown with its own file type:
// its units, its filter and the radio that names it.
TEST_F(MainWindowTest, CancelledOrFailedLoadKeepsTheFileTypeOfTheRecordShown) {
  Load(kSample0);
  EXPECT_EQ(open->Plot()->Wave().UnitY, "cm/s2");
  platform.openAnswer = "";
  open->SPC511Click();  // cancelled
  platform.openAnswer = dir.Write("broken.dbl", "not an SPC-51 file");
  open->SPC511Click();  // refused
  EXPECT_EQ(session->Record().SampleCount, 6000);
  EXPECT_TRUE(RadioCsv()->isChecked());
  EXPECT_TRUE(BtnFilter()->isEnabled());
  EXPECT_TRUE(CenterPass()->isEnabled());
  open->Button2Click();
  EXPECT_EQ(open->Plot()->Wave().UnitY, "cm/s2");

  // A click on the radio alone still chooses the type of the next load.
  RadioSpc51()->setChecked(true);
  EXPECT_FALSE(BtnFilter()->isEnabled());
}

TEST_F(MainWindowTest, StripsOfThreeChannelsAndRedrawsOfTheStartBox) {
  Load(ThreeChannelCsv());
  EXPECT_EQ(open->LastDraw().Start, 0);
  EXPECT_EQ(open->LastDraw().End, 500);
  EXPECT_EQ(open->LastDraw().LastFrame.OriginY, 310);
  EXPECT_EQ(open->LastDraw().LastFrame.UnitLenX, 120);
  const int before = open->RedrawCount();
  for (const char* typed : {"1", "15", "150", "1500"}) Edit1()->setText(typed);
  EXPECT_EQ(open->RedrawCount(), before);
  QTest::keyClick(Edit1(), Qt::Key_Return);
  EXPECT_EQ(open->RedrawCount(), before + 1);
  // Clamped to the 1000 samples: only the axes, and "data : 1000 - 1000".
  EXPECT_EQ(open->LastDraw().Start, 1000);
  EXPECT_EQ(open->LastDraw().End, 1000);
  EXPECT_EQ(Edit1()->text(), "1000");
}

TEST_F(MainWindowTest, NoChannelCheckedClearsThePlot) {
  Load(kSample0);
  open->Button8Click();
  open->Button2Click();
  const QImage& picture = open->Plot()->PlotCanvas().Bitmap();
  for (int y = 0; y < picture.height(); y += 7) {
    for (int x = 0; x < picture.width(); x += 7) {
      ASSERT_EQ(picture.pixel(x, y) & 0xFFFFFF, qRgb(247, 255, 255) & 0xFFFFFF) << x << "," << y;
    }
  }
  EXPECT_TRUE(Button9()->isEnabled());  // nothing else changes
}

}  // namespace

namespace {

// Pixels of a widget's picture in a colour, give or take the text's smoothing.
int PixelsNear(QWidget* widget, QColor colour) {
  const QImage image = widget->grab().toImage();
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
              std::abs(c.blue() - colour.blue()) < 40) {
        ++count;
      }
    }
  }
  return count;
}

TEST_F(MainWindowTest, DisabledControlsAreGreyedAndLiveOnesMaroon) {
  const QColor maroon(128, 0, 0);
  EXPECT_FALSE(Button9()->isEnabled());
  EXPECT_EQ(PixelsNear(Button9(), maroon), 0);
  EXPECT_EQ(PixelsNear(BtnFilter(), maroon), 0);
  EXPECT_EQ(PixelsNear(GroupBox2(), maroon), 0);
  EXPECT_GT(PixelsNear(BtnFile(), maroon), 20);
  EXPECT_GT(PixelsNear(EdInitF(), maroon), 5);  // the initial values are maroon too
  Load(kSample0);
  EXPECT_GT(PixelsNear(Button9(), maroon), 20);
  EXPECT_GT(PixelsNear(GroupBox2(), maroon), 20);
}

TEST_F(MainWindowTest, StartTypedBeyondTheRecordIsWrittenBackAsTheStartShown) {
  Load(kSample0);
  TypeStart("99999");
  EXPECT_EQ(Edit1()->text(), "6000");
  EXPECT_EQ(TrackBar1()->value(), 6000);
  TypeStart("-40");
  EXPECT_EQ(Edit1()->text(), "0");
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(MainWindowTest, ArrowNearTheLargestStartStopsAtTheEnd) {
  // A record of 2^31 - 1 samples: "→" must not wrap the start around to 0.
  TrackBar1()->setMaximum(INT_MAX);
  TrackBar1()->setValue(INT_MAX - 100);
  open->Button5Click();
  EXPECT_EQ(TrackBar1()->value(), INT_MAX);
  open->Button4Click();
  EXPECT_EQ(TrackBar1()->value(), INT_MAX - 500);
}

TEST_F(MainWindowTest, LoadClearsTheReadoutAndTheOpenDialogStartsInTheLastFolder) {
  Load(kSample0);
  open->MyWave1MouseMove(300, 150);
  EXPECT_FALSE(Label16()->text().isEmpty());
  Load(kSample0);
  EXPECT_TRUE(Label16()->text().isEmpty());
  ASSERT_EQ(platform.requests.size(), 2u);
  EXPECT_EQ(platform.requests[0].directory, "");
  EXPECT_EQ(platform.requests[1].directory, std::string(OSCALYX_SOURCE_DIR) + "/sample");
}

TEST_F(MainWindowTest, FormulaButtonHasItsThreePixelBevel) {
  EXPECT_EQ(TkBtn1()->Look().BevelWidth, 3);
  EXPECT_EQ(TkBtn1()->geometry(), QRect(192, 552, 388, 52));
}

// Qt's own dialogs speak Japanese once its translation is installed, as the
// program does at start-up.
TEST_F(MainWindowTest, QtsOwnTextsAreJapanese) {
  ASSERT_TRUE(InstallJapaneseTranslations(*QCoreApplication::instance()));
  QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "キャンセル");
  EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text(), "保存");
  // The file dialog's type column, which Qt's translation leaves in English.
  EXPECT_EQ(QFileIconProvider().type(QFileInfo(QString::fromStdString(dir.path()))), "フォルダ");
}

// ---- Opening by drop, shortcuts --------------------------------------------

class DesktopTest : public MainWindowTest {
 protected:
  void Drop(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(open.get(), &enter);
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(open.get(), &drop);
  }
  void Show() {
    open->show();
    open->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(open.get()));
  }
};

TEST_F(DesktopTest, DroppedFilesLoadWithTheTypeTheirExtensionNames) {
  // An SPC-51 file under an upper-case extension, dropped while CSV is selected.
  const std::string dbl = dir.File("RUN.DBL");
  std::filesystem::copy_file(kSample1, dbl);
  Drop({QUrl::fromLocalFile(QString::fromStdString(dbl))});
  EXPECT_TRUE(RadioSpc51()->isChecked());
  EXPECT_EQ(LabelFileName()->text(), "RUN.DBL");
  EXPECT_EQ(session->Record().ChannelCount, 3);
  EXPECT_TRUE(CSVF()->isEnabled());
  EXPECT_TRUE(std::filesystem::exists(dir.File("減衰特性.csv")));

  // Two files: the first is loaded, as a CSV file.
  Drop({QUrl::fromLocalFile(QString::fromStdString(kSample0)), QUrl::fromLocalFile(QString::fromStdString(dbl))});
  EXPECT_TRUE(RadioCsv()->isChecked());
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  EXPECT_EQ(session->Record().SampleCount, 6000);

  // A folder and a web address change nothing and say nothing.
  Drop({QUrl::fromLocalFile(QString::fromStdString(dir.path())), QUrl("https://example.org/a.csv")});
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(platform.requests.empty());  // no dialog was needed
}

TEST_F(DesktopTest, ShortcutsWorkWhileTheirControlsDo) {
  Show();
  EXPECT_EQ(N2()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(N3()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(N7()->shortcut(), QKeySequence(Qt::Key_F1));

  // Before a load the picture's buttons are off, and so are their keys.
  platform.saveAnswer = dir.File("view.png");
  QTest::keyClick(open.get(), Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(open.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(platform.requests.empty());
  EXPECT_TRUE(platform.clipboard.empty());

  platform.openAnswer = kSample0;
  QTest::keyClick(open.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
  QTest::keyClick(open.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(std::filesystem::exists(dir.File("view.png")));
  QTest::keyClick(open.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(platform.clipboard.size(), 1u);
  // Plain Ctrl+C belongs to the edit boxes.
  Edit1()->setFocus();
  QTest::keyClick(Edit1(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(platform.clipboard.size(), 1u);

  QTest::keyClick(open.get(), Qt::Key_F1);
  EXPECT_TRUE(howTo->isVisible());
  howTo->hide();
  QTest::keyClick(open.get(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(platform.quitRequests, 1);
}

}  // namespace
