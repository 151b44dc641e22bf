// Leaving out segments already drawn in their pixel column must not change a
// single pixel of the picture: every case is drawn twice on the QImage canvas,
// with and without the shortcut, and the pictures are compared whole.
#include <gtest/gtest.h>

#include <QApplication>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "components/DrawView.h"
#include "components/MyWave.h"
#include "components/qt/QtCanvas.h"
#include "tests/support/RecordingCanvas.h"

namespace {

constexpr int kPlotWidth = 753;
constexpr int kPlotHeight = 401;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Pen {
  int width;
  PenStyle style;
};

struct Signal {
  std::string name;
  std::vector<float> values;
  float dt;
};

std::vector<Signal> Signals() {
  std::vector<Signal> out;
  std::mt19937 random(4711);
  std::normal_distribution<float> noise(0.0f, 1.0f);

  // 20 s at 1000 samples/s: a decaying 3.7 Hz vibration with noise.
  std::vector<float> vibration(20000);
  for (std::size_t i = 0; i < vibration.size(); ++i) {
    const double t = static_cast<double>(i) / 1000.0;
    vibration[i] = static_cast<float>(1.3 * std::exp(-0.08 * t) * std::cos(2 * M_PI * 3.7 * t + 0.7)) +
                   0.03f * noise(random);
  }
  out.push_back({"vibration", vibration, 0.001f});

  // Two levels every other sample: almost every segment repeats.
  std::vector<float> toggle(20000);
  for (std::size_t i = 0; i < toggle.size(); ++i) toggle[i] = i % 2 == 0 ? 0.31f : -0.27f;
  out.push_back({"toggle", toggle, 0.001f});

  // Wide noise, 200 000 samples: more distinct segments per column than the
  // table of one column holds.
  std::vector<float> dense(200000);
  for (float& v : dense) v = 0.6f * noise(random);
  out.push_back({"dense noise", dense, 0.0001f});

  // Constant: only zero-length segments.
  out.push_back({"constant", std::vector<float>(5000, 0.42f), 0.004f});

  // Spikes beyond the picture, infinities and NaN among the samples.
  std::vector<float> spiky = vibration;
  for (std::size_t i = 0; i < spiky.size(); i += 97) spiky[i] = i % 3 == 0 ? kInf : (i % 3 == 1 ? kNaN : -1e9f);
  out.push_back({"spiky", spiky, 0.001f});

  // A slow ramp: consecutive samples share rows and columns.
  std::vector<float> ramp(20000);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = -1.0f + 2.0f * static_cast<float>(i) / 20000.0f;
  out.push_back({"ramp", ramp, 0.001f});
  return out;
}

void Frame(TMyWave& wave, int originY, int unitLenY) {
  wave.OriginX = 80;
  wave.OriginY = originY;
  wave.UnitLenX = 30;
  wave.NGridX = 20;
  wave.UnitLenY = unitLenY;
  wave.VValueX = 1.0f;
  wave.VValueY = 2.0f;
}

RgbImage DrawTrace(const Signal& signal, const Pen& pen, int originY, int unitLenY, bool skip) {
  QtCanvas canvas(kPlotWidth, kPlotHeight);
  TMyWave wave(canvas);
  Frame(wave, originY, unitLenY);
  wave.Clear(kPlotBackground);
  canvas.SetPenColor({255, 0, 0});
  canvas.SetPenWidth(pen.width);
  canvas.SetPenStyle(pen.style);
  wave.SkipRepeatedSegments = skip;
  wave.DrawWave1(static_cast<int>(signal.values.size()), signal.values.data(), signal.dt);
  return canvas.Image();
}

int CountSegments(const Signal& signal, int originY, int unitLenY, bool skip) {
  RecordingCanvas canvas(kPlotWidth, kPlotHeight);
  TMyWave wave(canvas);
  Frame(wave, originY, unitLenY);
  wave.SkipRepeatedSegments = skip;
  wave.DrawWave1(static_cast<int>(signal.values.size()), signal.values.data(), signal.dt);
  return static_cast<int>(canvas.Lines().size());
}

class SegmentSkipTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Text on the QImage canvas needs an application object.
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tests_components";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
};

TEST_F(SegmentSkipTest, TracesArePixelIdenticalForEveryPen) {
  const std::vector<Pen> pens = {{2, PenStyle::Solid}, {1, PenStyle::Solid}, {1, PenStyle::Dot}, {3, PenStyle::Solid}};
  // An eight-strip half height and the one-channel one.
  const std::vector<std::pair<int, int>> frames = {{176, 18}, {200, 133}};
  for (const Signal& signal : Signals()) {
    for (const auto& [originY, unitLenY] : frames) {
      const int all = CountSegments(signal, originY, unitLenY, false);
      const int kept = CountSegments(signal, originY, unitLenY, true);
      EXPECT_LT(kept, all) << signal.name;  // the shortcut does leave segments out
      for (const Pen& pen : pens) {
        const RgbImage every = DrawTrace(signal, pen, originY, unitLenY, false);
        const RgbImage skipped = DrawTrace(signal, pen, originY, unitLenY, true);
        EXPECT_TRUE(every.pixels == skipped.pixels)
            << signal.name << ", pen width " << pen.width << (pen.style == PenStyle::Dot ? " dotted" : "")
            << ", half height " << unitLenY;
      }
    }
  }
}

TEST_F(SegmentSkipTest, WholeViewIsPixelIdentical) {
  WaveData record;
  record.ChannelCount = 8;
  record.SampleCount = 25000;
  record.Rate = 1000;
  record.Dt = 0.001f;
  CopyToSlot("view.csv", record.FileName);
  std::mt19937 random(99);
  std::normal_distribution<float> noise(0.0f, 0.05f);
  for (int c = 0; c < 8; ++c) {
    CopyToSlot("CH" + std::to_string(c + 1), record.Names[c]);
    CopyToSlot("cm/s2", record.Units[c]);
    record.Samples[c].resize(25000);
    for (int i = 0; i < 25000; ++i) {
      const double t = i / 1000.0;
      record.Samples[c][i] =
          static_cast<float>((1.0 + 0.2 * c) * std::exp(-0.04 * t) * std::cos(2 * M_PI * (2.3 + c) * t + 0.7)) +
          noise(random);
    }
  }
  struct Case {
    int channels;
    int divisions;
    float seconds;
    int start;
  };
  const std::vector<Case> cases = {{8, 20, 20.0f, 1234}, {1, 20, 20.0f, 0}, {3, 10, 10.0f, 17000}, {2, 5, 5.0f, 24000}};
  for (const Case& c : cases) {
    ViewWindow view;
    view.Divisions = c.divisions;
    view.WidthSeconds = c.seconds;
    view.Start = c.start;
    for (int k = 0; k < c.channels; ++k) view.Channels[k] = true;
    QtCanvas every(kPlotWidth, kPlotHeight);
    QtCanvas skipped(kPlotWidth, kPlotHeight);
    TMyWave waveEvery(every);
    TMyWave waveSkipped(skipped);
    DrawView(waveEvery, record, view, BandEdges{1.5f, 2.5f}, true, false);
    DrawView(waveSkipped, record, view, BandEdges{1.5f, 2.5f}, true, true);
    EXPECT_TRUE(every.Image().pixels == skipped.Image().pixels) << c.channels << " channels";
    EXPECT_FALSE(waveSkipped.SkipRepeatedSegments);  // the caller's setting comes back
  }
}

TEST(SkipRepeatedSegments, MovesThePenPastLeftOutSegments) {
  RecordingCanvas canvas(kPlotWidth, kPlotHeight);
  TMyWave wave(canvas);  // origin (50, 100), 10 per 25 pixels
  wave.UnitLenX = 64;     // at 1/256 s a sample: four samples per pixel column
  wave.SkipRepeatedSegments = true;
  std::vector<float> values(9);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = i % 2 == 0 ? 4.0f : -4.0f;
  wave.DrawWave1(9, values.data(), 0.00390625f);
  using Kind = CanvasCall::Kind;
  std::vector<std::tuple<Kind, int, int>> calls;
  for (const CanvasCall& call : canvas.Calls()) {
    calls.emplace_back(call.kind, call.kind == Kind::LineTo ? call.x2 : call.x1,
                       call.kind == Kind::LineTo ? call.y2 : call.y1);
  }
  // Rows 90 and 110; x = 50 for i < 4, 51 for i = 4 ... 7, 52 for i = 8.
  const std::vector<std::tuple<Kind, int, int>> expected = {
      {Kind::MoveTo, 50, 90},  {Kind::LineTo, 50, 110}, {Kind::LineTo, 50, 90},
      {Kind::MoveTo, 50, 110}, {Kind::LineTo, 51, 90},  {Kind::LineTo, 51, 110},
      {Kind::LineTo, 51, 90},  {Kind::MoveTo, 51, 110}, {Kind::LineTo, 52, 90},
  };
  EXPECT_EQ(calls, expected);

  // Left-out segments at the end still leave the pen on the last sample.
  canvas.ClearCalls();
  wave.DrawWave1(4, values.data(), 0.00390625f);
  EXPECT_EQ(canvas.PenPosition(), (CanvasPoint{50, 110}));
}

}  // namespace
