// The window and the files around it: a record whose name is Shift-JIS
// bytes, dropped on the window; the log row of a failed evaluation on disk
// before the message about it shows; a save onto a read-only file asked
// about first.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <clocale>
#include <filesystem>
#include <string>

#include "components/MyGraph.h"
#include "components/MyWave.h"
#include "io/ShiftJisText.h"
#include "tests/support/MainWindowFixture.h"

namespace {

namespace fs = std::filesystem;

// "テスト.csv" in Shift-JIS: no valid UTF-8, so no text Qt could hold.
const std::string kShiftJisName = "\x83\x65\x83\x58\x83\x67.csv";

class WindowFilesTest : public MainWindowTest {
 protected:
  void Drop(const QUrl& url) {
    QMimeData data;
    data.setUrls({url});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(open.get(), &enter);
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(open.get(), &drop);
  }
};

TEST_F(WindowFilesTest, AShiftJisFileNameOpensByDrop) {
  const std::string path = dir.File(kShiftJisName);
  fs::copy_file(kSample0, path);
  // The desktop sends the name's bytes percent-encoded.
  Drop(QUrl::fromEncoded(QByteArray("file://") + QByteArray::fromStdString(path).toPercentEncoding("/")));
  EXPECT_TRUE(platform.messages.empty()) << platform.messages[0].text;
  EXPECT_EQ(session->Record().Path, path);
  EXPECT_EQ(SlotText(session->Record().FileName), kShiftJisName);
  EXPECT_EQ(LabelFileName()->text().toStdString(), "テスト.csv");
  EXPECT_EQ(Results(), ResultsHeaderLine());
}

// A platform whose message boxes look at the evaluation log when they show.
class LogWatchingPlatform : public RecordingPlatform {
 public:
  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
    logWhenShown.push_back(TempDir::Read(logPath));
    RecordingPlatform::ShowMessage(text, title, icon);
  }
  std::string logPath;
  std::vector<std::string> logWhenShown;
};

// The failed evaluation's log row is written before the message box shows,
// not when it is closed: a window ended while the box is up loses nothing.
TEST_F(WindowFilesTest, AFailedEvaluationIsLoggedBeforeItsMessageShows) {
  LogWatchingPlatform watching;
  watching.logPath = dir.File("評価記録.csv");
  TOpen window(watching, *session);
  watching.openAnswer = kSample0;
  window.CSVClick();
  window.findChild<QCheckBox*>("CB1")->setChecked(true);
  window.findChild<QLineEdit*>("Edit1")->setText("2000");
  window.findChild<QLineEdit*>("EdInitH")->setText("1.0");  // no oscillation left to fit
  window.Button9Click();
  ASSERT_EQ(watching.messages.size(), 1u);
  EXPECT_EQ(FirstLine(watching.messages[0].text), "減衰係数の評価が異常です");
  const std::string logged = watching.logWhenShown[0];
  EXPECT_EQ(logged.rfind(EvaluationLogHeader(), 0), 0u);
  EXPECT_NE(logged.find(",sample0.csv,1,P1,2000,5,"), std::string::npos) << logged;
  EXPECT_NE(logged.find(ShiftJisText("減衰係数の評価が異常です,失敗")), std::string::npos);
}

TEST_F(WindowFilesTest, ASaveOntoAReadOnlyFileIsAskedAbout) {
  Load(kSample0);
  const std::string png = dir.Write("view.png", "keep");
  fs::permissions(png, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  platform.saveAnswer = png;
  for (const bool yes : {false, true}) {
    platform.yesAnswer = yes;
    open->Button7Click();
    EXPECT_EQ(TempDir::Read(png) == "keep", !yes);
  }
  ASSERT_EQ(platform.questions.size(), 2u);
  EXPECT_EQ(platform.questions[0].text, "「view.png」は読み取り専用のファイルです。\n置き換えますか？");
  EXPECT_TRUE(platform.messages.empty());
  // A writable file is replaced without a question, as before.
  const std::string csv = dir.Write("record.csv", "old");
  platform.saveAnswer = csv;
  open->CSVFClick();
  EXPECT_EQ(platform.questions.size(), 2u);
}

// The window runs under the user's locale (Qt sets it); a decimal comma must
// reach none of the texts it shows, draws or writes.
TEST_F(WindowFilesTest, NoTextTakesTheLocalesDecimalComma) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (Debian: locales-all)";
  }
  const std::string band = TCenter::BandText(0.88f, 2.32f).toStdString();
  const std::string waveLabel = TMyWave::_round_number(0.25f);
  const std::string graphLabel = TMyGraph::_round_number(-1.5e-6f);
  Load(kSample0);
  Edit1()->setText("2000");
  EdInitF()->setText("1.5");
  open->Button9Click();
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(band, "0.88-2.32Hz");
  EXPECT_EQ(waveLabel, "0.25");
  EXPECT_EQ(graphLabel, "-1.5e-06");
  const std::string results = Results();
  EXPECT_EQ(results.find("sample0.csv,1ch,P1,", ResultsHeaderLine().size()), ResultsHeaderLine().size());
  EXPECT_EQ(std::count(results.begin(), results.end(), ','), 2 * 9);  // no comma beyond the separators
  EXPECT_NE(TempDir::Read(dir.File("評価記録.csv")).find(ShiftJisText(",2000,5,なし,1.5,0.03,")), std::string::npos);
}

}  // namespace
