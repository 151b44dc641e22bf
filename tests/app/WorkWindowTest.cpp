// What the window keeps between runs and pieces of work, through its handlers:
// the recent records and the last folder, the operator's name, the settings
// back to the first start, and saved work that comes back as it was.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QTimer>
#include <filesystem>

#include "app/Preferences.h"
#include "tests/support/MainWindowFixture.h"

namespace {

class WorkWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    preferences = std::make_unique<Preferences>(QString::fromStdString(dir.File("settings.ini")));
    open->AttachPreferences(preferences.get());
  }
  void TearDown() override {
    open.reset();
    preferences.reset();
    MainWindowTest::TearDown();
  }
  std::vector<QAction*> RecentItems() {
    open->RecentMenuShow();
    const QList<QAction*> actions = Control<QMenu>("RecentMenu")->actions();
    return std::vector<QAction*>(actions.begin(), actions.end());
  }
  void RunBandPass(const QString& centre, const QString& ratio) {
    QTimer::singleShot(0, center.get(), [this, centre, ratio] {
      center->findChild<QCheckBox*>("CBBand")->setChecked(true);
      center->findChild<QLineEdit*>("EdCenter")->setText(centre);
      center->findChild<QLineEdit*>("EdRatio")->setText(ratio);
      center->Button1Click();
    });
    open->BtnFilterClick();
  }
  std::unique_ptr<Preferences> preferences;
};

TEST_F(WorkWindowTest, RecentRecordsTheLastFolderAndTheSettingsBackToTheStart) {
  const std::string copy = dir.File("copy.csv");
  std::filesystem::copy_file(kSample0, copy);
  Load(copy);
  Load(kSample0);
  EXPECT_EQ(preferences->RecentFiles(), (std::vector<std::string>{kSample0, copy}));
  EXPECT_EQ(preferences->LastFolder(), std::string(OSCALYX_SOURCE_DIR) + "/sample");
  // A record that is gone is offered greyed.
  std::filesystem::remove(copy);
  const std::vector<QAction*> items = RecentItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[0]->isEnabled());
  EXPECT_FALSE(items[1]->isEnabled());
  EXPECT_TRUE(items[1]->text().contains("copy.csv"));
  // The next open dialog starts in the last folder, at the next start too.
  Session other;
  TOpen again(platform, other);
  again.AttachPreferences(preferences.get());
  platform.openAnswer = "";
  again.BtnFileClick();
  EXPECT_EQ(platform.requests.back().directory, std::string(OSCALYX_SOURCE_DIR) + "/sample");

  // The operator's name, asked for and kept; then everything forgotten.
  platform.textAnswer = " 山田 太郎 ";
  open->OperatorClick();
  EXPECT_EQ(preferences->Operator(), "山田 太郎");
  platform.yesAnswer = true;
  open->ResetSettingsClick();
  EXPECT_TRUE(preferences->RecentFiles().empty());
  EXPECT_TRUE(preferences->Operator().isEmpty());
}

TEST_F(WorkWindowTest, SavedWorkComesBackAsItWasAndSaysWhenTheRecordChanged) {
  const std::string record = dir.File("decay.csv");
  std::filesystem::copy_file(kSample0, record);
  Load(record);
  RunBandPass("1.6", "0.3");
  open->DIV1Click();
  WidthItem(3)->setChecked(true);  // 10 s
  open->RadioGroup2Click();
  TypeStart("2300");
  open->Button9Click();
  TypeStart("2500");
  open->Button9Click();
  ASSERT_EQ(session->Store().NData, 2);
  const ResultStore store = session->Store();
  platform.saveAnswer = dir.File("work");
  open->SaveWorkClick();
  ASSERT_TRUE(std::filesystem::exists(dir.File("work.oscalyx.json")));

  // Another window, started in a folder of its own, opens the work: record,
  // filter, view and results.
  std::filesystem::create_directory(dir.File("elsewhere"));
  std::filesystem::current_path(dir.File("elsewhere"));
  Session fresh;
  RecordingPlatform freshPlatform;
  TOpen again(freshPlatform, fresh);
  again.OpenWork(dir.File("work.oscalyx.json"));
  EXPECT_TRUE(freshPlatform.messages.empty()) << freshPlatform.messages[0].text;
  EXPECT_EQ(SlotText(fresh.Record().FileName), "decay.csv");
  ASSERT_TRUE(fresh.Band().has_value());
  EXPECT_EQ(fresh.Band()->Lower, session->Band()->Lower);
  EXPECT_EQ(fresh.View().WidthSeconds, 10.0f);
  EXPECT_EQ(fresh.View().Start, 2500);
  EXPECT_EQ(fresh.Store().NData, 2);
  EXPECT_EQ(fresh.Store().AveF, store.AveF);
  EXPECT_EQ(again.findChild<QLabel*>("Label34")->text(), Label34()->text());

  // The record changes: the work still opens, and says so.
  std::string text = TempDir::Read(record);
  text[text.size() - 3] = text[text.size() - 3] == '1' ? '2' : '1';
  dir.Write("decay.csv", text);
  Session third;
  std::filesystem::create_directory(dir.File("third"));
  std::filesystem::current_path(dir.File("third"));
  TOpen once(freshPlatform, third);
  once.OpenWork(dir.File("work.oscalyx.json"));
  ASSERT_EQ(freshPlatform.messages.size(), 1u);
  EXPECT_NE(freshPlatform.messages[0].text.find("変わっています"), std::string::npos);
  EXPECT_EQ(third.Store().NData, 2);

  // A file that is no saved work is refused, and nothing changes.
  dir.Write("other.json", "{\"format\": \"else\"}");
  once.OpenWork(dir.File("other.json"));
  ASSERT_EQ(freshPlatform.messages.size(), 2u);
  EXPECT_NE(freshPlatform.messages[1].text.find("作業ファイルではありません"), std::string::npos);
  EXPECT_EQ(third.Store().NData, 2);
}

}  // namespace
