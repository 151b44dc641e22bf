// The window's long work on a real second thread, as the program runs it: the
// load, the band-pass filter, the conversion and the signature each run away
// from the window while it waits (the other window tests run them in line).
// Under ThreadSanitizer this is where the window and the session meet threads.
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

#include "app/URandomDec.h"
#include "components/qt/QtPlatform.h"
#include "tests/support/MainWindowFixture.h"

namespace {

// Answers the dialogs itself and runs long work as the program does.
class ThreadedPlatform : public RecordingPlatform {
 public:
  bool RunLongWork(const std::string& label, const std::function<void(WorkReporter&)>& work) override {
    return desktop_.RunLongWork(label, work);
  }

 private:
  QtPlatform desktop_;
};

class ThreadedWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    open = std::make_unique<TOpen>(threaded, *session);
    open->AttachWindows(howTo.get(), about.get(), graph.get(), format.get(), center.get());
  }
  ThreadedPlatform threaded;
};

TEST_F(ThreadedWindowTest, LongWorkRunsAwayFromTheWindowAndLeavesTheSameRecord) {
  threaded.openAnswer = kSample0;
  open->CSVClick();
  ASSERT_TRUE(threaded.messages.empty());
  ASSERT_EQ(session->Record().SampleCount, 6000);

  // The band-pass dialog closes with OK, the filter on around 1.6 Hz.
  QTimer::singleShot(0, center.get(), [this] {
    center->findChild<QCheckBox*>("CBBand")->setChecked(true);
    center->findChild<QLineEdit*>("EdCenter")->setText("1.6");
    center->findChild<QLineEdit*>("EdRatio")->setText("0.3");
    center->Button1Click();
  });
  open->BtnFilterClick();
  ASSERT_TRUE(session->Band().has_value());
  const LoadOutcome direct = Session::Read({kSample0, FileKind::Csv, *session->Band()});
  ASSERT_TRUE(direct.ok());
  EXPECT_EQ(session->Record().Samples[0], direct.record.Samples[0]);

  threaded.saveAnswer = dir.File("converted.csv");
  open->CSVFClick();
  const LoadOutcome converted = Session::Read({dir.File("converted.csv"), FileKind::Csv, std::nullopt});
  ASSERT_TRUE(converted.ok());
  EXPECT_EQ(converted.record.SampleCount, 6000);

  // The signature of the one channel, then opened as the record.
  TRandomDec* dialog = RandomDec();
  QTimer::singleShot(0, dialog, [dialog] { dialog->Button1Click(); });
  threaded.saveAnswer = dir.File("signature.csv");
  open->RDClick();
  EXPECT_TRUE(threaded.messages.empty());
  EXPECT_EQ(SlotText(session->Record().FileName), "signature.csv");
  EXPECT_EQ(session->Record().SampleCount, 500);
}

}  // namespace
