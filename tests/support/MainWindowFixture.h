// The six windows as the program makes them, for tests that drive the main
// window through its handlers and controls.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <memory>

#include "analysis/ResultRows.h"
#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UHowTo.h"
#include "app/UOpen.h"
#include "app/URandomDec.h"
#include "app/WavePlot.h"
#include "components/qt/TkBtn.h"
#include "io/ResultsFile.h"
#include "io/WriteCsv.h"
#include "session/Session.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempDir.h"

inline const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";
inline const std::string kSample1 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample1.dbl";

// The six windows as the program makes them, started in a scratch folder
// (the results file goes to the folder current at start-up).
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    session = std::make_unique<Session>();
    open = std::make_unique<TOpen>(platform, *session);
    howTo = std::make_unique<THowTo>();
    about = std::make_unique<TAbout>();
    graph = std::make_unique<TGraph>(platform, *session);
    format = std::make_unique<TGFormat>(platform, *graph);
    center = std::make_unique<TCenter>(platform, *session);
    open->AttachWindows(howTo.get(), about.get(), graph.get(), format.get(), center.get());
  }
  void TearDown() override {
    center.reset();
    format.reset();
    graph.reset();
    open.reset();
    session.reset();
    std::filesystem::current_path(previous_);
  }

  // Types a start into the start box and presses Return.
  void TypeStart(const QString& text) {
    Edit1()->setText(text);
    QTest::keyClick(Edit1(), Qt::Key_Return);
  }

  // A control of the main window, found by its object name.
  template <typename T>
  T* Control(const char* name) const {
    T* control = open->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QPushButton* BtnFile() const { return Control<QPushButton>("BtnFile"); }
  QPushButton* BtnFilter() const { return Control<QPushButton>("BtnFilter"); }
  QPushButton* Button11() const { return Control<QPushButton>("Button11"); }
  QPushButton* Button6() const { return Control<QPushButton>("Button6"); }
  QPushButton* Button9() const { return Control<QPushButton>("Button9"); }
  QAction* CSVF() const { return Control<QAction>("CSVF"); }
  QAction* CenterPass() const { return Control<QAction>("CenterPass"); }
  QLineEdit* EdInitF() const { return Control<QLineEdit>("EdInitF"); }
  QLineEdit* EdInitH() const { return Control<QLineEdit>("EdInitH"); }
  QLineEdit* Edit1() const { return Control<QLineEdit>("Edit1"); }
  QGroupBox* GroupBox2() const { return Control<QGroupBox>("GroupBox2"); }
  QLabel* Label12() const { return Control<QLabel>("Label12"); }
  QLabel* Label15() const { return Control<QLabel>("Label15"); }
  QLabel* Label16() const { return Control<QLabel>("Label16"); }
  QLabel* Label17() const { return Control<QLabel>("Label17"); }
  QLabel* Label19() const { return Control<QLabel>("Label19"); }
  QLabel* Label23() const { return Control<QLabel>("Label23"); }
  QLabel* Label24() const { return Control<QLabel>("Label24"); }
  QLabel* Label25() const { return Control<QLabel>("Label25"); }
  QLabel* Label28() const { return Control<QLabel>("Label28"); }
  QLabel* Label29() const { return Control<QLabel>("Label29"); }
  QLabel* Label34() const { return Control<QLabel>("Label34"); }
  QLabel* LabelChannels() const { return Control<QLabel>("LabelChannels"); }
  QLabel* LabelData() const { return Control<QLabel>("LabelData"); }
  QLabel* LabelFileName() const { return Control<QLabel>("LabelFileName"); }
  QLabel* LabelRate() const { return Control<QLabel>("LabelRate"); }
  QLabel* LabelRecordTime() const { return Control<QLabel>("LabelRecordTime"); }
  QAction* N2() const { return Control<QAction>("N2"); }
  QAction* N3() const { return Control<QAction>("N3"); }
  QAction* N7() const { return Control<QAction>("N7"); }
  QAction* N8() const { return Control<QAction>("N8"); }
  QAction* RD() const { return Control<QAction>("RD"); }
  QRadioButton* RadioCsv() const { return Control<QRadioButton>("RadioGroup1Item0"); }
  QRadioButton* RadioSpc51() const { return Control<QRadioButton>("RadioGroup1Item1"); }
  TRandomDec* RandomDec() const { return Control<TRandomDec>("RandomDec"); }
  QAction* TIMESCALE() const { return Control<QAction>("TIMESCALE"); }
  TTkBtn* TkBtn1() const { return Control<TTkBtn>("TkBtn1"); }
  QSlider* TrackBar1() const { return Control<QSlider>("TrackBar1"); }
  QCheckBox* CB(int k) const { return Control<QCheckBox>(("CB" + std::to_string(k + 1)).c_str()); }
  QRadioButton* WidthItem(int i) const { return Control<QRadioButton>(("RadioGroup2Item" + std::to_string(i)).c_str()); }
  QAction* StepItem(int i) const {
    return Control<QAction>(("N" + std::to_string(kArrowSteps[static_cast<std::size_t>(i)]) + "1").c_str());
  }

  // Loads a file as the user does: the open dialog answers with `path`.
  void Load(const std::string& path, bool spc51 = false) {
    platform.openAnswer = path;
    if (spc51) open->SPC511Click(); else open->CSVClick();
  }

  std::string ThreeChannelCsv() {
    WaveData record;
    record.ChannelCount = 3;
    record.SampleCount = 1000;
    record.Rate = 100;
    for (int k = 0; k < 3; ++k) {
      CopyToSlot("P" + std::to_string(k + 1), record.Names[k]);
      CopyToSlot("gal", record.Units[k]);
      record.Samples[k].assign(1000, static_cast<float>(k + 1));
    }
    const std::string path = dir.File("three.csv");
    WriteCsv(path, record);
    return path;
  }

  std::string Results() const { return TempDir::Read(dir.File("減衰特性.csv")); }

  TempDir dir;
  RecordingPlatform platform;
  std::unique_ptr<Session> session;
  std::unique_ptr<TOpen> open;
  std::unique_ptr<THowTo> howTo;
  std::unique_ptr<TAbout> about;
  std::unique_ptr<TGraph> graph;
  std::unique_ptr<TGFormat> format;
  std::unique_ptr<TCenter> center;

 private:
  std::filesystem::path previous_;
};

