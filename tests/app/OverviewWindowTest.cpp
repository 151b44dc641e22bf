// The record overview driven as the user drives it: a click on a decay's mark
// or on the strip moves the main window's start, a click on a spectrum peak
// sets the initial frequency and the band-pass centre, and "すべて評価"
// records exactly what oscalyx-cli sweep records at the same starts, or
// nothing at all when stopped.
#include <QCheckBox>
#include <QSpinBox>
#include <QTableWidget>
#include <cstdio>

#include "app/UOverview.h"
#include "components/MyGraph.h"
#include "components/SpectrumGraph.h"
#include "io/NumberText.h"
#include "session/DecayEvaluations.h"
#include "tests/support/CliRun.h"
#include "tests/support/DecayRecord.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OneChannelCsv.h"

namespace {

constexpr int kRate = 200;
constexpr char kDetecting[] = "減衰を検出中…";
constexpr char kEvaluating[] = "検出した減衰を評価中…";

class OverviewWindowTest : public MainWindowTest {
 protected:
  // Three free decays of 3.7 Hz among noise, 120 s at 200 samples/s; the
  // second with a weaker mode of 9.1 Hz beside it.
  std::string DecaysCsv() {
    DecayRecordShape shape;
    shape.Count = 24000;
    shape.Rate = kRate;
    shape.Decays = {{4000, 1.0, 3.7, 0.02, 0.7},
                   {11000, 0.7, 3.7, 0.025, -1.2},
                   {11000, 0.25, 9.1, 0.01, 0.3},
                   {18000, 1.3, 3.7, 0.02, 2.1}};
    shape.NoiseSigma = 0.01;
    shape.Seed = 7;
    const std::string path = dir.File("decays.csv");
    EXPECT_TRUE(WriteOneChannelCsv(path, DecayRecord(shape), kRate));
    return path;
  }

  TOverview* Overview() const { return open->OverviewWindow(); }
  template <typename T>
  T* OverviewControl(const char* name) const {
    T* control = Overview()->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QString EdCenter() const { return center->findChild<QLineEdit*>("EdCenter")->text(); }
  std::string Log() const { return TempDir::Read(dir.File("評価記録.csv")); }
  const std::vector<DetectedDecay>& Decays() { return session->Detection(0).Decays; }
};

TEST_F(OverviewWindowTest, ClicksOnTheStripMoveTheStart) {
  EXPECT_FALSE(Control<QAction>("OverviewItem")->isEnabled());
  Load(DecaysCsv());
  EXPECT_TRUE(Control<QAction>("OverviewItem")->isEnabled());
  open->OverviewClick();
  EXPECT_NE(std::find(platform.stages.begin(), platform.stages.end(), kDetecting), platform.stages.end());
  ASSERT_TRUE(session->DetectionKnown(0));
  ASSERT_EQ(Decays().size(), 3u);
  const RecordStrip& strip = Overview()->Strip();
  for (const DetectedDecay& decay : std::vector<DetectedDecay>(Decays())) {
    const CanvasPoint mark = strip.DecayMarker(decay);
    Overview()->StripClick(mark.x, mark.y);
    EXPECT_EQ(Edit1()->text(), QString::number(decay.Start));
    EXPECT_EQ(session->View().Start, decay.Start);
  }
  // Elsewhere: the first sample of the column clicked.
  const int x = strip.XOfSample(20000) + 1;
  Overview()->StripClick(x, RecordStrip::kMarkerRow + 40);
  EXPECT_EQ(Edit1()->text(), QString::number(strip.SampleAtX(x)));
  EXPECT_NEAR(static_cast<double>(strip.SampleAtX(x)), 20000.0, 2.0 * 24000 / strip.Columns());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(OverviewWindowTest, AClickOnAPeakSetsTheInitialFrequencyAndTheBandCentre) {
  Load(DecaysCsv());
  TypeStart("4300");
  open->OverviewClick();
  const Spectrum& spectrum = Overview()->ShownSpectrum();
  ASSERT_TRUE(spectrum.Ok());
  ASSERT_FALSE(spectrum.Peaks.empty());
  EXPECT_NEAR(spectrum.Peaks[0].F, 3.7, 0.1);
  const std::optional<CanvasPoint> peak = SpectrumPeakPixel(Overview()->SpectrumGraph(), spectrum, 0);
  ASSERT_TRUE(peak.has_value());
  Overview()->SpectrumClick(peak->x + 3, peak->y + 20);
  EXPECT_EQ(EdInitF()->text().toStdString(), FormatFixed(spectrum.Peaks[0].F, 3));
  EXPECT_EQ(EdCenter(), EdInitF()->text());
  // Far from any peak nothing changes.
  const QString picked = EdInitF()->text();
  Overview()->SpectrumClick(Overview()->SpectrumGraph().OriginX + Overview()->SpectrumGraph().WidthX, peak->y);
  EXPECT_EQ(EdInitF()->text(), picked);
  // Once the view rests at a new start, the spectrum is the new stretch's.
  const QLabel* caption = OverviewControl<QLabel>("LabelSpectrum");
  TypeStart("18300");
  EXPECT_FALSE(caption->text().contains("18300"));
  EXPECT_TRUE(QTest::qWaitFor([caption] { return caption->text().contains("18300"); }, 5000));
}

// The rows of the results file, byte for byte those of sweep at the same
// starts with the same width and initial values, one decay after another.
TEST_F(OverviewWindowTest, EvaluatingEveryDecayRecordsWhatSweepRecords) {
  const std::string path = DecaysCsv();
  struct Case {
    bool along;
    int step;
  };
  const Case cases[] = {{false, 0}, {true, 150}};
  int round = 0;
  for (const Case& c : cases) {
    Load(path);
    open->OverviewClick();
    OverviewControl<QCheckBox>("CBAlong")->setChecked(c.along);
    if (c.along) OverviewControl<QSpinBox>("SpinStep")->setValue(c.step);
    const std::string h0 = EdInitH()->text().toStdString();
    const std::string logBefore = Log();
    Overview()->BtnEvaluateAllClick();

    const std::vector<Evaluation>& run = Overview()->LastRun();
    // Successive stretches follow a decay as long as they end inside it.
    if (c.along) {
      EXPECT_GT(run.size(), Decays().size());
    } else {
      EXPECT_EQ(run.size(), Decays().size());
    }
    const std::string cliResults = dir.File("sweep" + std::to_string(++round) + ".csv");
    for (const DetectedDecay& decay : Decays()) {
      std::int64_t last = decay.Start;
      for (const Evaluation& evaluation : run) {
        if (evaluation.Request.Start >= decay.Start && evaluation.Request.Start <= decay.End) {
          last = std::max(last, evaluation.Request.Start);
        }
      }
      char f0[32];
      std::snprintf(f0, sizeof f0, "%.17g", DecayInitialFrequency(decay.F));
      const CliRunResult sweep =
          RunCliCaptured({"sweep", path, "--channel", "1", "--from", std::to_string(decay.Start), "--to",
                          std::to_string(last), "--every", std::to_string(c.along ? c.step : 1), "--width", "5", "--f0",
                          f0, "--h0", h0, "--results", cliResults});
      ASSERT_EQ(sweep.status, 0) << sweep.err;
    }
    EXPECT_EQ(Results(), TempDir::Read(cliResults)) << "along " << c.along;

    // Every evaluation is in the log; the accepted ones are in the store.
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin() + static_cast<std::ptrdiff_t>(logBefore.size()), log.end(), '\n') -
                  (logBefore.empty() ? 1 : 0),
              static_cast<std::ptrdiff_t>(run.size()));
    const auto accepted = std::count_if(run.begin(), run.end(), [](const Evaluation& e) { return e.Accepted(); });
    EXPECT_EQ(session->Store().NData, accepted);
    ASSERT_GT(accepted, 0);
    EXPECT_EQ(Label25()->text().toStdString(), AverageLabels(session->Store()).Count);
    // The main window shows the last evaluation over its stretch.
    EXPECT_EQ(Edit1()->text(), QString::number(run.back().Request.Start));

    // A warning icon on the rows whose evaluation raised one: the second
    // decay's, which holds a second mode; the first decay's is clean.
    const auto* table = OverviewControl<QTableWidget>("Table");
    ASSERT_EQ(table->rowCount(), static_cast<int>(run.size()));
    EXPECT_TRUE(run.front().Flags.empty());
    int secondMode = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
      const Evaluation& evaluation = run[static_cast<std::size_t>(row)];
      const QTableWidgetItem* flags = table->item(row, table->columnCount() - 1);
      EXPECT_EQ(flags->icon().isNull(), evaluation.Flags.empty()) << row;
      if (std::find(evaluation.Flags.begin(), evaluation.Flags.end(), EvaluationFlag::SecondMode) !=
          evaluation.Flags.end()) {
        ++secondMode;
        const std::string_view name = FlagShortText(EvaluationFlag::SecondMode);
        EXPECT_TRUE(flags->text().contains(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
      }
    }
    EXPECT_GE(secondMode, 1);
  }
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(OverviewWindowTest, StoppedWorkLeavesEverythingAsItWas) {
  Load(DecaysCsv());
  platform.cancelInStage = kDetecting;
  platform.cancelAtReport = 1;
  open->OverviewClick();
  EXPECT_FALSE(session->DetectionKnown(0));
  platform.cancelAtReport = 0;
  Overview()->BtnDetectClick();
  ASSERT_TRUE(session->DetectionKnown(0));

  const std::string results = Results();
  const std::string log = Log();
  const QString f0 = EdInitF()->text();
  platform.cancelInStage = kEvaluating;
  platform.cancelAtReport = 1;
  Overview()->BtnEvaluateAllClick();
  EXPECT_EQ(Results(), results);
  EXPECT_EQ(Log(), log);
  EXPECT_EQ(session->Store().NData, 0);
  EXPECT_EQ(EdInitF()->text(), f0);
  EXPECT_EQ(Label25()->text(), "");
  EXPECT_TRUE(Overview()->LastRun().empty());
  EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
