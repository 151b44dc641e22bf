// The evaluation's recording steps in the main window: labels, averages,
// scatter plot, next initial values and results rows.
#include <algorithm>
#include <regex>

#include "analysis/DampedFit.h"
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

#include "analysis/IntervalText.h"
#include "app/UModes.h"
#include "io/NumberText.h"
#include "io/ShiftJisText.h"
#include "tests/support/MainWindowFixture.h"

namespace {

class EvaluationWindowTest : public MainWindowTest {
 protected:
  QString EdCenter() const { return center->findChild<QLineEdit*>("EdCenter")->text(); }
};

// A result whose ωn gives f exactly as the store holds it.
FitResult FitResultWith(float f, float h) {
  FitResult result;
  result.Wn = static_cast<float>(f / kHzPerRadian);
  result.F = f;
  result.H = h;
  result.Ratio = 0.95f;
  return result;
}

// The labels show what the session accepted and stored; a rejected result
// changes only the two red labels.
TEST_F(EvaluationWindowTest, AcceptedResultsFeedAveragesAndNextInitialValues) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button9Click();
  Edit1()->setText("2200");
  open->Button9Click();
  ASSERT_EQ(session->Store().NData, 2);
  const AverageTexts averages = AverageLabels(session->Store());
  EXPECT_EQ(Label23()->text().toStdString(), averages.MeanF);
  EXPECT_EQ(Label24()->text().toStdString(), averages.MeanH);
  EXPECT_EQ(Label25()->text(), "2回");
  const float lastF = session->Store().DataF[1];
  const float lastH = session->Store().DataH[1];
  EXPECT_EQ(Label28()->text().toStdString(), FormatFixed(lastF, 3));
  EXPECT_EQ(Label29()->text().toStdString(), FormatFixed(lastH, 4));
  EXPECT_EQ(EdCenter(), Label28()->text());
  EXPECT_EQ(EdInitF()->text().toStdString(), AcceptResult(FitResultWith(lastF, lastH)).NextInitF);
  EXPECT_EQ(EdInitH()->text().toStdString(), FormatFixed(1.05 * lastH, 4));
  EXPECT_TRUE(Button11()->isEnabled());

  const QString nextF = EdInitF()->text();
  Edit1()->setText("100");  // ambient noise: rejected
  open->Button9Click();
  EXPECT_EQ(Label28()->text(), "failed");
  EXPECT_EQ(Label29()->text(), "failed");
  EXPECT_EQ(Label25()->text(), "2回");
  EXPECT_EQ(EdInitF()->text(), nextF);
  EXPECT_EQ(session->Store().NData, 2);
}

TEST_F(EvaluationWindowTest, ResultsFileHoldsTheRowsOfTheCurrentRecordOnly) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button6Click();
  open->Button6Click();
  const std::string two = Results();
  std::size_t rows = 0;
  for (std::size_t at = two.find("sample0.csv,1ch,P1,"); at != std::string::npos; at = two.find("sample0.csv", at + 1)) {
    ++rows;
  }
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(Label25()->text(), "2回");
  Load(ThreeChannelCsv());
  EXPECT_EQ(Results(), ResultsHeaderLine());
  EXPECT_EQ(session->Store().NData, 0);
}

TEST_F(EvaluationWindowTest, SeveralChannelsShownClearPassesAndRatio) {
  Load(ThreeChannelCsv());
  open->Button8Click();
  CB(0)->setChecked(true);
  open->Button2Click();
  Label15()->setText("700");
  Label19()->setText("95.3％");
  open->Button10Click();
  open->Button2Click();
  EXPECT_EQ(Label15()->text(), "");
  EXPECT_EQ(Label19()->text(), "");
  EXPECT_FALSE(Button9()->isEnabled());
}

// The evaluation log keeps what the results file gives up at the next load:
// every evaluation, accepted or not, failed ones on a valid stretch too, with
// what it was made from.
TEST_F(EvaluationWindowTest, LogKeepsEveryEvaluationAcrossLoads) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button9Click();
  EdInitH()->setText("1.0");  // the iteration fails: logged
  open->Button9Click();
  Load(kSample0);
  EdInitH()->setText("0.03");
  Edit1()->setText("5990");  // points past the end: refused, nothing evaluated
  open->Button9Click();
  Edit1()->setText("2500");
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
  Edit1()->setText("2000");
  open->Button9Click();
  ASSERT_EQ(Label28()->text(), "1.600");
  // The interval around the value, shown no finer than two digits of its
  // half-width.
  for (const auto& [label, name] : {std::pair{Label28(), "f"}, std::pair{Label29(), "h"}}) {
    const std::string hint = label->toolTip().toStdString();
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(hint, parts, std::regex(std::string(name) +
                                                         R"( = (\d+\.(\d+))( Hz)?（95%: (\d+\.\d+)〜(\d+\.\d+)）)")))
        << hint;
    const double value = std::stod(parts[1]), low = std::stod(parts[4]), high = std::stod(parts[5]);
    EXPECT_LT(low, value);
    EXPECT_LT(value, high);
    EXPECT_EQ(static_cast<int>(parts[2].length()), HalfWidthDecimals(0.5 * (high - low), 0)) << hint;
  }
  // The log carries the standard errors too.
  const std::string log = TempDir::Read(dir.File("評価記録.csv"));
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(,0\.\d{4},0\.\d{5}\r\n$)"))) << log;

  Edit1()->setText("100");  // ambient noise: rejected, and no interval is offered
  open->Button9Click();
  EXPECT_EQ(Label28()->text(), "failed");
  EXPECT_TRUE(Label28()->toolTip().isEmpty());
  EXPECT_TRUE(Label29()->toolTip().isEmpty());
}

}  // namespace

namespace {

// After a failed evaluation the red labels no longer show the result before
// it; after a load they still do, but their hints say where it came from.
TEST_F(EvaluationWindowTest, FailedEvaluationsAndLoadsSayWhatTheLabelsShow) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button9Click();
  ASSERT_EQ(Label28()->text(), "1.600");
  Load(ThreeChannelCsv());
  EXPECT_EQ(Label28()->text(), "1.600");
  EXPECT_TRUE(Label28()->toolTip().startsWith("前の記録「sample0.csv」の開始点 2000 の評価結果です。"))
      << Label28()->toolTip().toStdString();
  EXPECT_TRUE(Label29()->toolTip().startsWith("前の記録「sample0.csv」の開始点 2000"));

  Load(kSample0);
  Edit1()->setText("2000");
  open->Button9Click();
  ASSERT_FALSE(Label15()->text().isEmpty());
  EdInitH()->setText("1.0");  // the iteration fails
  open->Button9Click();
  EXPECT_EQ(Label28()->text(), "failed");
  EXPECT_EQ(Label29()->text(), "failed");
  EXPECT_TRUE(Label28()->toolTip().isEmpty());
  EXPECT_EQ(Label15()->text(), "");
  EXPECT_EQ(Label19()->text(), "");
}

}  // namespace

namespace {

// A stretch that starts on an ambient record's noise at 1.6 Hz within 0.5 s
// cannot hold three cycles: the warning stands beside the results.
TEST_F(EvaluationWindowTest, WarningsOfTheStretchStandBesideTheResults) {
  Load(kSample0);
  open->DIV10Click();  // the short widths: 0.1 s
  Edit1()->setText("2000");
  open->Button9Click();
  const QString warning = Control<QLabel>("LabelFlags")->text();
  EXPECT_TRUE(warning.startsWith("⚠")) << warning.toStdString();
  EXPECT_TRUE(warning.contains("周期不足")) << warning.toStdString();
  EXPECT_TRUE(Control<QLabel>("LabelFlags")->toolTip().contains("3周期未満"));

  open->DIV1Click();  // 5 s: a clean decay raises none
  Edit1()->setText("2000");
  open->Button9Click();
  EXPECT_EQ(Control<QLabel>("LabelFlags")->text(), "");
}

}  // namespace

namespace {

// 複数モード評価 fits the stretch the window shows; the single-mode result
// keeps its place.
TEST_F(EvaluationWindowTest, SeveralModesOfTheShownStretch) {
  Load(kSample0);
  TypeStart("2000");
  TModes* dialog = Control<TModes>("Modes");
  QTimer::singleShot(0, dialog, [dialog] {
    dialog->SpinCount->setValue(1);
    dialog->Button1Click();
    dialog->accept();
  });
  open->ModesClick();
  ASSERT_EQ(dialog->Table->rowCount(), 1);
  EXPECT_TRUE(dialog->Table->item(0, 0)->text().startsWith("1.600")) << dialog->Table->item(0, 0)->text().toStdString();
  EXPECT_TRUE(dialog->LabelRatio->text().startsWith("近似度"));
  EXPECT_EQ(Label28()->text(), "");  // nothing of the single fit changed
  EXPECT_EQ(session->Store().NData, 0);
}

}  // namespace
