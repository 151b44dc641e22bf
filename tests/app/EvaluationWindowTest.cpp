// The evaluation's recording steps in the main window: labels, averages,
// scatter plot, next initial values and results rows.
#include <algorithm>
#include <regex>

#include "analysis/DampedFit.h"
#include "io/ShiftJisText.h"
#include "tests/support/MainWindowFixture.h"

namespace {

FitResult Result(float f, float h, float ratio) {
  FitResult result;
  result.A = 1.25f;
  result.Wn = static_cast<float>(f * kTwoPi);
  result.H = h;
  result.Phi = -0.5f;
  result.F = static_cast<float>(result.Wn * kHzPerRadian);
  result.T = static_cast<float>(kTwoPi / result.Wn);
  result.Ratio = ratio;
  result.Passes = 700;
  return result;
}

class EvaluationWindowTest : public MainWindowTest {
 protected:
  QString EdCenter() const { return center->findChild<QLineEdit*>("EdCenter")->text(); }
};

TEST_F(EvaluationWindowTest, AcceptedResultsFeedAveragesAndNextInitialValues) {
  Load(kSample0);
  open->AcceptanceStep(Result(2.000f, 0.0300f, 0.95f));
  open->AcceptanceStep(Result(2.100f, 0.0310f, 0.95f));
  open->AcceptanceStep(Result(2.200f, 0.0320f, 0.95f));
  EXPECT_EQ(open->Label23->text(), "2.100");
  EXPECT_EQ(open->Label24->text(), "0.0310");
  EXPECT_EQ(open->Label25->text(), "3回");
  EXPECT_EQ(open->Label28->text(), "2.200");
  EXPECT_EQ(open->Label29->text(), "0.0320");
  EXPECT_EQ(open->EdInitF->text(), "2.310");
  EXPECT_EQ(open->EdInitH->text(), "0.0336");
  EXPECT_EQ(EdCenter(), "2.200");
  EXPECT_TRUE(open->Button11->isEnabled());

  // A rejected one changes only the two red labels.
  open->AcceptanceStep(Result(3.0f, 0.05f, 0.5f));
  EXPECT_EQ(open->Label28->text(), "failed");
  EXPECT_EQ(open->Label29->text(), "failed");
  EXPECT_EQ(open->Label23->text(), "2.100");
  EXPECT_EQ(open->Label25->text(), "3回");
  EXPECT_EQ(open->EdInitF->text(), "2.310");
  EXPECT_EQ(open->EdInitH->text(), "0.0336");
  EXPECT_EQ(EdCenter(), "2.200");
}

TEST_F(EvaluationWindowTest, RatioOfExactlyPointNineIsRejectedButRecorded) {
  Load(kSample0);
  const FitResult result = Result(2.0f, 0.02f, 0.9f);
  open->AcceptanceStep(result);
  open->WriteResultsRow(0, result);
  EXPECT_EQ(open->Label28->text(), "failed");
  EXPECT_EQ(open->Label25->text(), "");
  EXPECT_EQ(Results(), ResultsHeaderLine() + "sample0.csv,1ch,P1,1.250,12.566,2.000,0.500,0.0200,-0.500,0.900\r\n");
}

TEST_F(EvaluationWindowTest, ResultsFileHoldsTheRowsOfTheCurrentRecordOnly) {
  Load(kSample0);
  open->Edit1->setText("2000");
  open->Button6Click();
  open->Button6Click();
  const std::string two = Results();
  std::size_t rows = 0;
  for (std::size_t at = two.find("sample0.csv,1ch,P1,"); at != std::string::npos; at = two.find("sample0.csv", at + 1)) {
    ++rows;
  }
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(open->Label25->text(), "2回");
  Load(ThreeChannelCsv());
  EXPECT_EQ(Results(), ResultsHeaderLine());
  EXPECT_EQ(graph->Store().NData, 0);
}

TEST_F(EvaluationWindowTest, SeveralChannelsShownClearPassesAndRatio) {
  Load(ThreeChannelCsv());
  open->Button8Click();
  open->CB[0]->setChecked(true);
  open->Button2Click();
  open->Label15->setText("700");
  open->Label19->setText("95.3％");
  open->Button10Click();
  open->Button2Click();
  EXPECT_EQ(open->Label15->text(), "");
  EXPECT_EQ(open->Label19->text(), "");
  EXPECT_FALSE(open->Button9->isEnabled());
}

// The evaluation log keeps what the results file gives up at the next load:
// every evaluation, accepted or not, failed ones on a valid stretch too, with
// what it was made from.
TEST_F(EvaluationWindowTest, LogKeepsEveryEvaluationAcrossLoads) {
  Load(kSample0);
  open->Edit1->setText("2000");
  open->Button9Click();
  open->EdInitH->setText("1.0");  // the iteration fails: logged
  open->Button9Click();
  Load(kSample0);
  open->EdInitH->setText("0.03");
  open->Edit1->setText("5990");  // points past the end: refused, nothing evaluated
  open->Button9Click();
  open->Edit1->setText("2500");
  open->Button9Click();
  EXPECT_EQ(platform.messages.size(), 2u);

  const std::string log = TempDir::Read(dir.File("評価記録.csv"));
  std::vector<std::vector<std::string>> rows;
  std::size_t at = 0;
  for (std::size_t end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::vector<std::string> fields;
    const std::string line = log.substr(at, end - at);
    for (std::size_t from = 0;;) {
      const std::size_t comma = line.find(',', from);
      fields.push_back(line.substr(from, comma - from));
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
    rows.push_back(fields);
  }
  EXPECT_EQ(at, log.size());
  ASSERT_EQ(rows.size(), 4u);  // the header once, three evaluations
  EXPECT_EQ(log.substr(0, log.find("\r\n") + 2), EvaluationLogHeader());
  const std::vector<std::string> accepted = rows[1];
  ASSERT_EQ(accepted.size(), 20u);
  EXPECT_EQ(std::vector<std::string>(accepted.begin() + 1, accepted.begin() + 9),
            (std::vector<std::string>{"sample0.csv", "1", "P1", "2000", "5", ShiftJisText("なし"), "2", "0.03"}));
  EXPECT_EQ(accepted[11], "1.600");  // f
  EXPECT_EQ(accepted[17], ShiftJisText("採用"));
  const std::vector<std::string> failed = rows[2];
  ASSERT_EQ(failed.size(), 20u);
  EXPECT_EQ(failed[8], "1");  // the initial h that failed
  for (int k = 9; k <= 15; ++k) EXPECT_EQ(failed[k], "") << k;
  EXPECT_EQ(failed[16], ShiftJisText("減衰係数の評価が異常です"));
  EXPECT_EQ(failed[17], ShiftJisText("失敗"));
  EXPECT_EQ(rows[3][4], "2500");
  // The results file holds the second record's evaluation only.
  const std::string results = Results();
  EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 2);
}

TEST_F(EvaluationWindowTest, AcceptedResultsShowTheirIntervalsInTheHints) {
  Load(kSample0);
  open->Edit1->setText("2000");
  open->Button9Click();
  ASSERT_EQ(open->Label28->text(), "1.600");
  const std::regex f(R"(f = 1\.600 ± 0\.00\d Hz（95%）)");
  const std::regex h(R"(h = 0\.0251 ± 0\.00\d\d（95%）)");
  EXPECT_TRUE(std::regex_match(open->Label28->toolTip().toStdString(), f)) << open->Label28->toolTip().toStdString();
  EXPECT_TRUE(std::regex_match(open->Label29->toolTip().toStdString(), h)) << open->Label29->toolTip().toStdString();
  // The log carries the standard errors too.
  const std::string log = TempDir::Read(dir.File("評価記録.csv"));
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(,0\.\d{4},0\.\d{5}\r\n$)"))) << log;

  open->Edit1->setText("100");  // ambient noise: rejected, and no interval is offered
  open->Button9Click();
  EXPECT_EQ(open->Label28->text(), "failed");
  EXPECT_TRUE(open->Label28->toolTip().isEmpty());
  EXPECT_TRUE(open->Label29->toolTip().isEmpty());
}

}  // namespace
