// The dialog for other instruments' files and the main window's way to it:
// the preview shows what the reader finds, OK refuses what cannot be read,
// and a dropped file loads through the same flow as the open dialog's, with
// its warnings shown once, its conversion offered, and its re-read for the
// band-pass filter made with the same settings.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <cmath>
#include <numbers>

#include "app/UOtherFormat.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/WavBuilder.h"

namespace {

// A logger's export: two header lines, tabs, a time column, nine channels of
// a 3.7 Hz decay (damping 0.04, phase 0.7) at 200 /s.
std::string LoggerText() {
  std::string text = "Logger XY-200\nTime\tA1\tA2\tA3\tA4\tA5\tA6\tA7\tA8\tA9\n";
  const double wn = 2 * std::numbers::pi * 3.7;
  for (int i = 0; i < 1200; ++i) {
    const double t = i / 200.0;
    char row[256];
    int used = std::snprintf(row, sizeof row, "%.3f", t);
    for (int k = 1; k <= 9; ++k) {
      const double x = std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1 - 0.04 * 0.04) * t + 0.7) * k;
      used += std::snprintf(row + used, sizeof row - static_cast<std::size_t>(used), "\t%.5f", x);
    }
    text += std::string(row) + "\n";
  }
  return text;
}

TEST(OtherFormatDialog, PreviewShowsWhatTheReaderFindsAndOkRefusesWhatItCannotRead) {
  EnsureQtApp();
  RecordingPlatform platform;
  TOtherFormat dialog(platform);
  EXPECT_EQ(dialog.windowTitle(), "他の形式のファイルを開く");
  TempDir dir;
  const std::string path = dir.Write("log.txt", LoggerText());
  dialog.Preset(path, FileKind::Text);
  EXPECT_EQ(dialog.CbFormat->currentIndex(), 0);
  EXPECT_TRUE(dialog.MemoLines->toPlainText().startsWith("Logger XY-200\nTime\tA1"));
  EXPECT_EQ(dialog.CbDelimiter->itemText(0), "自動（タブ）");
  EXPECT_EQ(dialog.EdSkip->placeholderText(), "自動（2）");
  // Without a rate the rows show at 1 /s; with the time column the names
  // leave it out.
  EXPECT_TRUE(dialog.MemoRows->toPlainText().startsWith("Time\tA1\tA2"));
  dialog.RadioTime->setChecked(true);
  EXPECT_TRUE(dialog.MemoRows->toPlainText().startsWith("A1\tA2")) << dialog.MemoRows->toPlainText().toStdString();
  EXPECT_NE(dialog.LabelState->text().indexOf("9 チャンネルのうち 1〜8"), -1);

  // OK without a rate or with one out of range: "入力エラー", no request.
  dialog.RadioRate->setChecked(true);
  dialog.EdRate->setText("");
  dialog.OKButtonClick();
  dialog.EdRate->setText("-3");
  dialog.OKButtonClick();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0].title, "入力エラー");
  EXPECT_EQ(platform.messages[0].text, "サンプリング周波数を入れてください。");
  EXPECT_FALSE(dialog.Request().has_value());

  dialog.EdRate->setText("25.6");
  dialog.EdUnit->setText("gal");
  dialog.OKButtonClick();
  ASSERT_TRUE(dialog.Request().has_value());
  EXPECT_EQ(dialog.Request()->Path, path);
  EXPECT_EQ(dialog.Request()->Kind, FileKind::Text);
  EXPECT_EQ(dialog.Request()->Options.Rate, 25.6);
  EXPECT_EQ(dialog.Request()->Options.Unit, "gal");
  EXPECT_FALSE(dialog.Request()->Options.Delimiter.has_value());  // left to detection
}

class OtherFormatWindowTest : public MainWindowTest {
 protected:
  // Drops `path`, answers the dialog with the time column (or the WAV's
  // defaults) and presses OK.
  void DropAndConfirm(const std::string& path, bool timeColumn) {
    TOtherFormat* dialog = open->findChild<TOtherFormat*>("OtherFormat");
    ASSERT_NE(dialog, nullptr);
    QTimer::singleShot(0, dialog, [dialog, timeColumn] {
      if (timeColumn) dialog->RadioTime->setChecked(true);
      dialog->OKButtonClick();
    });
    open->OpenFile(path);
  }
};

TEST_F(OtherFormatWindowTest, ADroppedTextFileLoadsWithItsWarningOnceAndReReadsWithTheSameSettings) {
  const std::string path = dir.Write("log.txt", LoggerText());
  DropAndConfirm(path, true);
  const WaveData& record = open->Model().Record();
  ASSERT_EQ(record.SourceKind, FileKind::Text);
  EXPECT_EQ(record.ChannelCount, 8);
  EXPECT_EQ(record.SampleCount, 1200);
  EXPECT_EQ(record.Rate, 200.0);
  EXPECT_EQ(Control<QLabel>("LabelRate")->text(), "200/sec");
  EXPECT_TRUE(CSVF()->isEnabled());  // written as a standard CSV file on request
  const auto warnings = std::count_if(platform.messages.begin(), platform.messages.end(), [](const auto& m) {
    return m.text.find("9 チャンネルのうち 1〜8") != std::string::npos;
  });
  EXPECT_EQ(warnings, 1);

  // The band-pass dialog's re-read uses the same reader and settings, and
  // says nothing again.
  const std::size_t before = platform.messages.size();
  QTimer::singleShot(0, center.get(), [this] {
    center->SetBandOn(true);
    center->SetCenterText("3.7");
    center->SetRatioText("0.3");
    center->Button1Click();
  });
  open->CenterPassClick();
  EXPECT_EQ(platform.messages.size(), before);
  EXPECT_EQ(open->Model().Record().SampleCount, 1200);
  EXPECT_TRUE(open->Model().Band().has_value());
  EXPECT_EQ(open->Model().Options().TimeColumn, 1);
}

TEST_F(OtherFormatWindowTest, ARefusedFileChangesNothingAndTheMenuOpensTheDialog) {
  ASSERT_NO_FATAL_FAILURE(open->OpenFile(kSample0));
  const WaveData before = open->Model().Record();
  // A WAV file cut short: refused after the dialog's OK, the loaded record stays.
  WavBuilder wav;
  wav.frames.assign(400, std::vector<double>{1000.0});
  const std::string bytes = wav.Bytes();
  const std::string cut = dir.Write("cut.wav", bytes.substr(0, bytes.size() - 100));
  DropAndConfirm(cut, false);
  EXPECT_EQ(open->Model().Record().SampleCount, before.SampleCount);
  EXPECT_EQ(open->Model().Record().SourceKind, FileKind::Csv);
  ASSERT_FALSE(platform.messages.empty());
  EXPECT_NE(platform.messages.back().text.find("WAVファイルが途中で切れています"), std::string::npos);

  QAction* other = Control<QAction>("OTHER");
  EXPECT_EQ(other->text(), "他の形式のファイルを開く…");
  platform.openAnswer = dir.Write("whole.wav", bytes);
  TOtherFormat* dialog = open->findChild<TOtherFormat*>("OtherFormat");
  QTimer::singleShot(0, dialog, [dialog] {
    dialog->EdScale->setText("980.665");
    dialog->OKButtonClick();
  });
  other->trigger();
  EXPECT_EQ(open->Model().Record().SourceKind, FileKind::Wav);
  EXPECT_EQ(open->Model().Record().SampleCount, 400);
  EXPECT_FLOAT_EQ(open->Model().Record().Samples[0][0], static_cast<float>(1000.0 / 32768.0 * 980.665));
}

}  // namespace
