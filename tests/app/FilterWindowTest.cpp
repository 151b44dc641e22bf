// The band-pass dialog seen from the main window, the conversion menu and the
// help windows.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "analysis/SignatureInterval.h"
#include "app/URandomDec.h"
#include "io/ReadCsv.h"
#include "tests/support/AmbientRecord.h"
#include "io/ShiftJisText.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OneChannelCsv.h"

namespace {

class FilterWindowTest : public MainWindowTest {
 protected:
  // Opens the band-pass dialog and answers it: OK with the box as given, or
  // the close box.
  void RunDialog(bool bandOn, const QString& centre, const QString& ratio, bool ok = true) {
    QTimer::singleShot(0, center.get(), [this, bandOn, centre, ratio, ok] {
      center->findChild<QCheckBox*>("CBBand")->setChecked(bandOn);
      center->findChild<QLineEdit*>("EdCenter")->setText(centre);
      center->findChild<QLineEdit*>("EdRatio")->setText(ratio);
      if (ok) center->Button1Click(); else center->reject();
    });
    open->BtnFilterClick();
  }
  std::vector<float> Samples() const { return session->Record().Samples[0]; }
};

TEST_F(FilterWindowTest, FilterOnOffAndTwice) {
  Load(kSample0);
  const std::vector<float> asRead = Samples();
  RunDialog(true, "2", "0.1");
  EXPECT_EQ(Label34()->text(), "1.80-2.20Hz");
  EXPECT_EQ(session->Edges().Lower, 1.8f);
  EXPECT_EQ(session->Edges().Upper, 2.2f);
  const std::vector<float> once = Samples();
  EXPECT_NE(once, asRead);
  RunDialog(true, "2", "0.1");
  EXPECT_EQ(Samples(), once);  // the second run starts from the file again
  RunDialog(false, "2", "0.1");
  EXPECT_EQ(Label34()->text(), "なし");
  EXPECT_EQ(Samples(), asRead);
  EXPECT_EQ(session->Edges().Lower, 1.8f);  // unchecked OK leaves the edges
}

TEST_F(FilterWindowTest, CloseBoxReloadsAndFiltersWithTheLastEdges) {
  Load(kSample0);
  RunDialog(true, "2", "0.1");
  const std::vector<float> filtered = Samples();
  RunDialog(true, "3", "0.5", /*ok=*/false);  // closed: the texts are not taken
  EXPECT_EQ(Label34()->text(), "1.80-2.20Hz");
  EXPECT_EQ(Samples(), filtered);
  // A new load starts unfiltered.
  Load(kSample0);
  EXPECT_EQ(Label34()->text(), "なし");
  EXPECT_FALSE(center->BandOn());
}

TEST_F(FilterWindowTest, ReloadKeepsStartWidthAndTheSingleChannel) {
  Load(ThreeChannelCsv());
  Edit1()->setText("300");
  open->Button8Click();
  CB(1)->setChecked(true);
  open->Button2Click();
  RunDialog(false, "2", "0.1");
  EXPECT_EQ(Edit1()->text(), "300");
  EXPECT_TRUE(CB(1)->isChecked());
  EXPECT_FALSE(CB(0)->isChecked());
  EXPECT_EQ(session->View().SingleIndex, 1);
  EXPECT_TRUE(Button9()->isEnabled());
}

TEST_F(FilterWindowTest, ConversionAddsCsvOnlyToNamesWithoutExtension) {
  Load(kSample1, true);
  ASSERT_TRUE(CSVF()->isEnabled());
  platform.saveAnswer = dir.File("data");
  open->CSVFClick();
  EXPECT_EQ(platform.requests.back().fileName, "sample1.csv");
  EXPECT_EQ(platform.requests.back().directory, std::string(OSCALYX_SOURCE_DIR) + "/sample");
  WaveData back;
  ASSERT_TRUE(ReadCsv(dir.File("data.csv"), back).ok());
  EXPECT_EQ(back.ChannelCount, 3);
  EXPECT_EQ(back.SampleCount, 8000);
  platform.saveAnswer = dir.File("data.txt");
  open->CSVFClick();
  EXPECT_TRUE(std::filesystem::exists(dir.File("data.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("data.txt.csv")));
  platform.saveAnswer = dir.File("no/such/folder/x.csv");
  open->CSVFClick();
  ASSERT_FALSE(platform.messages.empty());
  EXPECT_EQ(platform.messages.back().title, "CSVファイルへ変換");
}

TEST_F(FilterWindowTest, HelpAndVersionWindowsOpenFromTheMenu) {
  N7()->trigger();
  EXPECT_TRUE(howTo->isVisible());
  N8()->trigger();
  EXPECT_TRUE(about->isVisible());
  Load(kSample0);
  EXPECT_TRUE(TkBtn1()->isVisibleTo(open.get()));
  Load(ThreeChannelCsv());
  EXPECT_FALSE(TkBtn1()->isVisibleTo(open.get()));
}

}  // namespace

namespace {

TEST_F(FilterWindowTest, ReReadOfAFileThatLostChannelsEvaluatesWhatTheFileHoldsNow) {
  const std::string path = ThreeChannelCsv();
  Load(path);
  for (int k = 0; k < 3; ++k) CB(k)->setChecked(k == 2);
  open->Button2Click();
  ASSERT_TRUE(session->View().SingleChannel);
  ASSERT_EQ(session->View().SingleIndex, 2);

  // The file now holds one channel: the third no longer exists.
  std::string text = "Q1\n100,s\nmemo\ngal\n";
  for (int i = 0; i < 1000; ++i) text += std::to_string(2.0 * std::cos(0.2 * i) * std::exp(-0.002 * i)) + "\n";
  dir.Write("three.csv", text);
  RunDialog(true, "2", "0.1");  // a new band: the file is read again

  EXPECT_EQ(session->Record().ChannelCount, 1);
  EXPECT_TRUE(session->Record().Samples[2].empty());  // nothing of the old record is left
  EXPECT_TRUE(CB(0)->isChecked());
  EXPECT_FALSE(CB(2)->isEnabled());
  EXPECT_EQ(session->View().SingleIndex, 0);
  EXPECT_TRUE(Button9()->isEnabled());  // one channel shown: the evaluation follows it
  open->Button9Click();
  const std::string results = Results();
  EXPECT_NE(results.find("three.csv,1ch,Q1,"), std::string::npos) << results;
}

TEST_F(FilterWindowTest, ReReadThatFailsLeavesRecordPictureLabelAndBoxAsTheyWere) {
  const std::string copy = dir.File("copy.csv");
  std::filesystem::copy_file(kSample0, copy);
  Load(copy);
  RunDialog(true, "2", "0.1");
  const std::vector<float> filtered = Samples();
  const RgbImage picture = open->Plot()->PlotCanvas().Image();
  std::filesystem::remove(copy);

  RunDialog(false, "2", "0.1");  // would turn the filter off, but the file is gone
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(FirstLine(platform.messages[0].text), "ファイルが開けません");
  EXPECT_EQ(platform.quitRequests, 0);
  EXPECT_EQ(Samples(), filtered);
  EXPECT_TRUE(open->Plot()->PlotCanvas().Image() == picture);
  EXPECT_EQ(Label34()->text(), "1.80-2.20Hz");
  EXPECT_TRUE(center->BandOn());
}

}  // namespace

namespace {

TEST_F(FilterWindowTest, BandTheReReadRecordCannotTakeLeavesEverythingAsItWas) {
  // The file is rewritten at 4 samples per second between two openings of the
  // dialog: the band 1.8-2.2 Hz then reaches past half the rate.
  const std::string path = dir.File("rate.csv");
  std::filesystem::copy_file(kSample0, path);
  Load(path);
  RunDialog(true, "2", "0.1");
  const std::vector<float> filtered = Samples();
  const RgbImage picture = open->Plot()->PlotCanvas().Image();
  std::string text = TempDir::Read(path);
  text.replace(text.find("100,s"), 5, "4,s");
  dir.Write("rate.csv", text);

  RunDialog(true, "2", "0.2");  // a new band, 1.60-2.40 Hz: the file is read again
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].title, "バンドパスフィルタ");
  EXPECT_EQ(session->Record().Rate, 100);
  EXPECT_EQ(Samples(), filtered);
  EXPECT_TRUE(open->Plot()->PlotCanvas().Image() == picture);
  EXPECT_EQ(Label34()->text(), "1.80-2.20Hz");
  EXPECT_TRUE(center->BandOn());
}

}  // namespace

// ---- The random-decrement signature from the menu -----------------------------

namespace {

class SignatureWindowTest : public MainWindowTest {
 protected:
  // A one-channel ambient record of `count` samples at 100 samples/s.
  std::string AmbientCsv(int count) {
    const std::string path = dir.File("ambient.csv");
    EXPECT_TRUE(WriteOneChannelCsv(path, AmbientResponse(1.85, 0.04, 100, count, 7), 100, "AMB"));
    return path;
  }
  // Opens the dialog from the menu and answers it with OK (or its close box
  // once a refusal has been shown).
  void RunSignature(const QString& level, const QString& length) {
    QTimer::singleShot(0, RandomDec(), [this, level, length] {
      RandomDec()->EdLevel->setText(level);
      RandomDec()->EdLength->setText(length);
      RandomDec()->Button1Click();
      if (RandomDec()->isVisible()) RandomDec()->reject();
    });
    RD()->trigger();
  }
};

TEST_F(SignatureWindowTest, SignatureIsSavedBesideTheRecordAndOpened) {
  Load(ThreeChannelCsv());
  EXPECT_FALSE(RD()->isEnabled());  // three channels shown
  Load(AmbientCsv(60000));
  ASSERT_TRUE(RD()->isEnabled());
  platform.saveAnswer = dir.File("signature");  // no extension: .csv is added
  RunSignature("1.41", "5");
  ASSERT_EQ(platform.requests.size(), 3u);  // two open dialogs, the save dialog
  EXPECT_EQ(platform.requests[2].fileName, "ambient_ch1_rd.csv");
  EXPECT_EQ(platform.requests[2].directory, dir.path());
  EXPECT_TRUE(platform.messages.empty()) << platform.messages[0].text;
  // The signature is now the loaded record, read as a standard CSV file.
  EXPECT_EQ(LabelFileName()->text(), "signature.csv");
  EXPECT_EQ(session->Record().SampleCount, 500);
  EXPECT_EQ(std::string(SlotText(session->Record().Names[0])), "AMB");
  EXPECT_TRUE(RadioCsv()->isChecked());
  EXPECT_EQ(Results(), ResultsHeaderLine());
}

// While the signature is the record, its evaluations take their interval from
// the spread of the triggered segments, as `rd --fit` gives it, not from the
// signature's residuals, which promise far more than they hold; a filter or
// another load ends that.
TEST_F(SignatureWindowTest, TheSignaturesEvaluationsTakeTheTriggersInterval) {
  Load(AmbientCsv(60000));
  const std::span<const float> channel = session->ChannelSpan(0);
  const std::vector<float> ambient(channel.begin(), channel.end());
  const RandomDecrementSignature triggers = RandomDecrement(ambient, 100, 1.41, 5);
  ASSERT_TRUE(triggers.Ok());
  platform.saveAnswer = dir.File("signature.csv");
  RunSignature("1.41", "5");
  ASSERT_EQ(LabelFileName()->text(), "signature.csv");
  ASSERT_TRUE(session->LoadedSignatureKnown());

  const EvaluationRequest request = session->RequestAt(0, 1.8, 0.03);
  const SessionEvaluation made = session->Evaluate(request);
  ASSERT_TRUE(made.Result.Ok());
  const Evaluation plain = EvaluateRecord(session->Record(), std::nullopt, request, 0);
  const std::optional<FitInterval> expected = SignatureInterval(ambient, triggers, plain.Fit);
  ASSERT_TRUE(expected && made.Result.Interval && plain.Interval);
  EXPECT_DOUBLE_EQ(made.Result.Interval->HLow, expected->HLow);
  EXPECT_DOUBLE_EQ(made.Result.Interval->FHigh, expected->FHigh);
  EXPECT_GT(made.Result.Interval->HHigh - made.Result.Interval->HLow, plain.Interval->HHigh - plain.Interval->HLow);

  session->CommitRefilter(session->Read(session->RefilterRequest(BandEdges{1.5f, 2.2f})));
  EXPECT_FALSE(session->LoadedSignatureKnown());
}

// The dialog says how many triggers a setting gives before anything is
// computed, takes the part of the record chosen, writes its setting into the
// signature's memo line, and asks before a new results file would drop the
// rows of the record just evaluated.
TEST_F(SignatureWindowTest, TriggersBeforeTheWorkARangeAndAQuestionBeforeTheRowsGo) {
  Load(AmbientCsv(60000));
  TypeStart("1000");
  open->Button9Click();
  ASSERT_EQ(session->ResultsRowCount(), 1);
  const std::string rows = Results();

  TRandomDec* dialog = RandomDec();
  platform.saveAnswer = dir.File("part.csv");
  platform.yesAnswer = false;
  QTimer::singleShot(0, dialog, [this, dialog] {
    dialog->RadioTyped->setChecked(true);
    dialog->EdFrom->setText("10000");
    dialog->EdTo->setText("39999");
    dialog->ShowTriggers();
    const std::optional<TriggerCount> count =
        CountTriggers(std::span<const float>(session->Record().Samples[0]).subspan(10000, 30000), 100, 1.41, 5.0f);
    ASSERT_TRUE(count.has_value());
    EXPECT_TRUE(dialog->LabelTriggers->text().startsWith(QString("トリガ数 %1、σ = ").arg(count->Triggers)))
        << dialog->LabelTriggers->text().toStdString();
    dialog->EdLevel->setText("4.5");  // a level the record seldom reaches
    dialog->ShowTriggers();
    EXPECT_TRUE(dialog->LabelTriggers->text().contains("50未満")) << dialog->LabelTriggers->text().toStdString();
    dialog->EdLevel->setText("1.41");
    dialog->Button1Click();
  });
  RD()->trigger();
  // Saved, with its setting in the memo line; not opened, as the user said no.
  const std::string saved = TempDir::Read(dir.File("part.csv"));
  EXPECT_NE(saved.find(ShiftJisText("RD法 レベル1.41σ 長さ5秒 範囲10000-39999 トリガ")), std::string::npos);
  ASSERT_EQ(platform.questions.size(), 1u);
  EXPECT_EQ(LabelFileName()->text(), "ambient.csv");
  EXPECT_EQ(Results(), rows);

  // キャンセル leaves everything as it was.
  QTimer::singleShot(0, dialog, [dialog] { dialog->Button2->click(); });
  platform.saveAnswer = dir.File("never.csv");
  RD()->trigger();
  EXPECT_FALSE(std::filesystem::exists(dir.File("never.csv")));
  EXPECT_EQ(platform.questions.size(), 1u);
}

TEST_F(SignatureWindowTest, RefusedSettingsAndCancelLeaveEverythingAsItWas) {
  Load(AmbientCsv((1 << 20) + 1000));  // long enough to report before it ends
  const WaveData& record = session->Record();
  const std::vector<float> before = record.Samples[0];
  RunSignature("0", "5");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].title, "入力エラー");
  EXPECT_TRUE(platform.requests.size() == 1u);  // no save dialog

  platform.saveAnswer = dir.File("cancelled.csv");
  platform.cancelAtReport = 1;
  RunSignature("1.41", "5");
  EXPECT_FALSE(std::filesystem::exists(dir.File("cancelled.csv")));
  EXPECT_EQ(LabelFileName()->text(), "ambient.csv");
  EXPECT_EQ(record.Samples[0], before);
  EXPECT_EQ(platform.messages.size(), 1u);
}

}  // namespace

// ---- Long work: progress and 中止 ----------------------------------------------

namespace {

class LongWorkWindowTest : public FilterWindowTest {
 protected:
  // Two channels of 300 000 samples: enough for each stage to report many times.
  std::string LargeCsv(const char* name) {
    WaveData record;
    record.ChannelCount = 2;
    record.SampleCount = 300000;
    record.Rate = 100;
    for (int k = 0; k < 2; ++k) {
      CopyToSlot("L" + std::to_string(k + 1), record.Names[k]);
      CopyToSlot("gal", record.Units[k]);
      record.Samples[k] = AmbientResponse(1.85 + k, 0.04, 100, record.SampleCount, 11 + k);
    }
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteCsv(path, record).ok);
    return path;
  }
  // Each stage's reports never go down and the last one is 1.
  void ExpectReportsRiseToOne() {
    ASSERT_FALSE(platform.progress.empty());
    EXPECT_EQ(platform.progress.back(), 1.0);
    for (std::size_t i = 1; i < platform.progress.size(); ++i) {
      if (platform.progress[i] < platform.progress[i - 1]) {
        EXPECT_EQ(platform.progress[i - 1], 1.0) << i;  // a new stage starts from 0
      }
    }
  }
};

TEST_F(LongWorkWindowTest, LoadAndFilterReportTheirStagesUpToTheEnd) {
  Load(LargeCsv("large.csv"));
  ExpectReportsRiseToOne();
  EXPECT_EQ(platform.stages, (std::vector<std::string>{"読み込み中…", "読み込み中…"}));
  platform.progress.clear();
  platform.stages.clear();
  RunDialog(true, "2", "0.1");
  EXPECT_EQ(platform.stages, (std::vector<std::string>{"読み込み中…", "読み込み中…", "フィルタ処理中…"}));
  ExpectReportsRiseToOne();
  EXPECT_EQ(Label34()->text(), "1.80-2.20Hz");
}

TEST_F(LongWorkWindowTest, CancelLeavesRecordViewLabelsAndFilesAsTheyWere) {
  Load(kSample0);
  Edit1()->setText("2000");
  open->Button9Click();
  RunDialog(true, "1.6", "0.2");
  const std::string results = Results();
  const std::vector<float> samples = Samples();
  const RgbImage picture = open->Plot()->PlotCanvas().Image();
  const std::string large = LargeCsv("large.csv");

  for (const int report : {1, 3}) {
    SCOPED_TRACE(report);
    platform.cancelAtReport = report;
    platform.progress.clear();
    Load(large);  // a new record: 中止 while reading
    RunDialog(false, "1.6", "0.2");  // the re-read of the band-pass dialog
    EXPECT_EQ(LabelFileName()->text(), "sample0.csv");
    EXPECT_EQ(session->Record().SampleCount, 6000);
    EXPECT_EQ(Samples(), samples);
    EXPECT_TRUE(open->Plot()->PlotCanvas().Image() == picture);
    EXPECT_EQ(Label34()->text(), "1.28-1.92Hz");
    EXPECT_TRUE(center->BandOn());
    EXPECT_EQ(Label28()->text(), "1.600");
    EXPECT_EQ(Results(), results);  // not created anew
    EXPECT_TRUE(platform.messages.empty());
  }

  // 中止 while filtering a record that was read whole.
  platform.cancelAtReport = 0;
  Load(large);
  const std::vector<float> unfiltered = Samples();
  platform.cancelInStage = "フィルタ処理中…";
  platform.cancelAtReport = 1;
  RunDialog(true, "2", "0.1");
  EXPECT_EQ(platform.stages.back(), "フィルタ処理中…");
  EXPECT_EQ(Samples(), unfiltered);
  EXPECT_EQ(Label34()->text(), "なし");
  EXPECT_FALSE(center->BandOn());
  platform.cancelInStage.clear();

  // 中止 while converting: no file.
  platform.cancelAtReport = 1;
  platform.saveAnswer = dir.File("converted.csv");
  open->CSVFClick();
  EXPECT_FALSE(std::filesystem::exists(dir.File("converted.csv")));
  EXPECT_TRUE(platform.messages.empty());
}

}  // namespace

namespace {

// Closing the dialog with the band the record already has reads nothing: the
// file may even be gone, and the record, picture and label stay.
TEST_F(FilterWindowTest, ClosingWithNothingChangedReadsNothing) {
  const std::string copy = dir.File("copy.csv");
  std::filesystem::copy_file(kSample0, copy);
  Load(copy);
  RunDialog(true, "2", "0.1");
  const std::vector<float> filtered = Samples();
  std::filesystem::remove(copy);
  platform.stages.clear();

  RunDialog(true, "2", "0.1");
  RunDialog(true, "2", "0.1", /*ok=*/false);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(platform.stages.empty());  // no long work at all
  EXPECT_EQ(Samples(), filtered);
  EXPECT_EQ(Label34()->text(), "1.80-2.20Hz");
}

}  // namespace
