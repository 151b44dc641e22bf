// ファイル → 報告書を保存…: enabled once a record is loaded, offers
// "<record>_報告書.pdf" beside it, and writes the session's accepted
// evaluations (and only those) with the operator the settings name.
#include <QSettings>

#include "tests/support/MainWindowFixture.h"

namespace {

class ReportWindowTest : public MainWindowTest {};

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(ReportWindowTest, SavesTheAcceptedEvaluationsWithTheOperator) {
  QAction* item = Control<QAction>("ReportItem");
  EXPECT_FALSE(item->isEnabled());
  // The settings of this test only, not the user's.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.File("config")));
  QSettings(QStringLiteral("Oscalyx"), QStringLiteral("oscalyx"))
      .setValue(QStringLiteral("report/operator"), QStringLiteral("検査 花子"));

  Load(kSample0);
  EXPECT_TRUE(item->isEnabled());
  for (const char* start : {"2000", "2300", "100"}) {  // the last is noise: not accepted
    Edit1()->setText(start);
    open->Button9Click();
  }
  ASSERT_EQ(session->Store().NData, 2);

  platform.saveAnswer = dir.File("page.svg");
  open->ReportClick();
  ASSERT_FALSE(platform.requests.empty());
  EXPECT_EQ(platform.requests.back().fileName, "sample0_報告書.pdf");
  EXPECT_TRUE(platform.messages.empty());
  const std::string svg = TempDir::Read(dir.File("page.svg"));
  EXPECT_NE(svg.find("sample0.csv"), std::string::npos);
  EXPECT_NE(svg.find("検査 花子"), std::string::npos);
  EXPECT_EQ(Occurrences(svg, ">採用<"), 2) << "two accepted rows in the table";
  EXPECT_NE(svg.find(">2300<"), std::string::npos);

  // A name without an extension is saved as PDF.
  platform.saveAnswer = dir.File("page");
  open->ReportClick();
  EXPECT_EQ(TempDir::Read(dir.File("page.pdf")).rfind("%PDF-", 0), 0u);
  QSettings(QStringLiteral("Oscalyx"), QStringLiteral("oscalyx")).remove(QStringLiteral("report/operator"));
}

}  // namespace
