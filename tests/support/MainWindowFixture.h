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
#include <filesystem>
#include <memory>

#include "analysis/ResultRows.h"
#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UHowTo.h"
#include "app/UOpen.h"
#include "app/WavePlot.h"
#include "components/qt/TkBtn.h"
#include "io/ResultsFile.h"
#include "io/WriteCsv.h"
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
    open = std::make_unique<TOpen>(platform);
    howTo = std::make_unique<THowTo>();
    about = std::make_unique<TAbout>();
    graph = std::make_unique<TGraph>(platform);
    format = std::make_unique<TGFormat>(platform, *graph);
    center = std::make_unique<TCenter>(platform);
    open->AttachWindows(howTo.get(), about.get(), graph.get(), format.get(), center.get());
  }
  void TearDown() override {
    open.reset();
    std::filesystem::current_path(previous_);
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
  std::unique_ptr<TOpen> open;
  std::unique_ptr<THowTo> howTo;
  std::unique_ptr<TAbout> about;
  std::unique_ptr<TGraph> graph;
  std::unique_ptr<TGFormat> format;
  std::unique_ptr<TCenter> center;

 private:
  std::filesystem::path previous_;
};

