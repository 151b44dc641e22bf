// The evaluation's recording steps in the main window: labels, averages,
// scatter plot, next initial values and results rows.
#include "analysis/DampedFit.h"
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

}  // namespace
