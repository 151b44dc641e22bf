#include "components/DrawView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "components/FitOverlay.h"
#include "components/MyMath.h"
#include "tests/support/RecordingCanvas.h"

namespace {

using Kind = CanvasCall::Kind;
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlack{0, 0, 0};
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A record of damped sines, channel c with peak 0.3 * (c + 1) at 3.7 Hz.
WaveData MakeRecord(int channels, int samples, int rate) {
  WaveData record;
  record.ChannelCount = channels;
  record.SampleCount = samples;
  record.Rate = rate;
  record.Dt = 1.0f / static_cast<float>(rate);
  CopyToSlot("wave7.csv", record.FileName);
  for (int c = 0; c < channels; ++c) {
    CopyToSlot("CH" + std::to_string(c + 1), record.Names[c]);
    CopyToSlot("cm/s2", record.Units[c]);
    record.Samples[c].resize(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
      const double t = i / static_cast<double>(rate);
      record.Samples[c][i] =
          static_cast<float>(0.3 * (c + 1) * std::exp(-0.05 * t) * std::cos(2 * M_PI * 3.7 * t + 0.7));
    }
  }
  return record;
}

ViewWindow ViewOf(int checked) {
  ViewWindow view;
  for (int c = 0; c < checked; ++c) view.Channels[c] = true;
  return view;
}

// The x axes drawn: lines from (80, y) to (680, y).
std::vector<int> AxisRows(const RecordingCanvas& canvas) {
  std::vector<int> rows;
  for (const CanvasCall& line : canvas.Lines()) {
    if (line.x1 == 80 && line.x2 == 680 && line.y1 == line.y2) rows.push_back(line.y1);
  }
  return rows;
}

std::vector<CanvasCall> TraceLines(const RecordingCanvas& canvas) {
  std::vector<CanvasCall> out;
  for (const CanvasCall& line : canvas.Lines()) {
    if (line.pen == kRed) out.push_back(line);
  }
  return out;
}

class DrawViewTest : public ::testing::Test {
 protected:
  RecordingCanvas canvas{753, 401};
  TMyWave wave{canvas};
  std::optional<BandEdges> bandPass;
};

TEST_F(DrawViewTest, StripsShareTheHeightOfThePlot) {
  struct Case {
    int channels;
    std::vector<int> origins;
    int halfHeight;
  };
  const std::vector<Case> cases = {
      {1, {200}, 133},
      {2, {127, 274}, 55},
      {3, {90, 200, 310}, 41},
      {8, {29, 78, 127, 176, 225, 274, 323, 372}, 18},
  };
  const WaveData record = MakeRecord(8, 1000, 100);
  for (const Case& c : cases) {
    canvas.ClearCalls();
    ViewWindow view = ViewOf(c.channels);
    const DrawViewResult result = DrawView(wave, record, view, bandPass);
    EXPECT_EQ(AxisRows(canvas), c.origins) << c.channels;
    EXPECT_EQ(result.CheckedCount, c.channels);
    EXPECT_EQ(result.LastFrame.OriginY, c.origins.back());
    EXPECT_EQ(result.LastFrame.UnitLenY, c.halfHeight) << c.channels;
    EXPECT_TRUE(canvas.HasLine(80, c.origins[0], 80, c.origins[0] - c.halfHeight));
    EXPECT_TRUE(canvas.HasLine(80, c.origins[0], 80, c.origins[0] + c.halfHeight));
  }
}

TEST_F(DrawViewTest, ThreeChannelsOfFiveSecondsAtOneHundredSamples) {
  const WaveData record = MakeRecord(3, 2000, 100);
  ViewWindow view = ViewOf(3);
  const DrawViewResult result = DrawView(wave, record, view, bandPass);
  EXPECT_TRUE(result.Completed);
  EXPECT_EQ(result.Start, 0);
  EXPECT_EQ(result.End, 500);
  for (const int origin : {90, 200, 310}) {
    for (int i = 1; i <= 5; ++i) {
      const int x = 80 + 120 * i;
      EXPECT_TRUE(canvas.HasLine(x, origin - 5, x, origin + 5)) << x;
      for (int j = 1; j < 5; ++j) {
        const int minor = x - 120 + 24 * j;
        EXPECT_TRUE(canvas.HasLine(minor, origin - 3, minor, origin + 3)) << minor;
      }
    }
  }
  // 500 samples a strip: 499 segments, the last at x = 80 + trunc(4.99 * 120).
  const auto trace = TraceLines(canvas);
  ASSERT_EQ(trace.size(), 3u * 499u);
  EXPECT_EQ(trace.back().x2, 678);
  for (const CanvasCall& line : trace) EXPECT_EQ(line.penWidth, 2);

  // Full scales: peaks 0.3, 0.6 and 0.9 give 0.5, 1 and 1 (each decade just below).
  const WaveFrame frame = result.LastFrame;
  EXPECT_EQ(frame, (WaveFrame{80, 310, 120, 41, 5, 1.0f, 0.99999994f}));
  int labelled = 0;
  for (const CanvasCall& text : canvas.Texts()) {
    if (text.text == "0.5" || text.text == "-0.5" || text.text == "1" || text.text == "-1") {
      if (text.x1 < 80) ++labelled;
    }
  }
  EXPECT_EQ(labelled, 6);
  // Scales are drawn in black, names and units per strip.
  for (const CanvasCall& line : canvas.Lines()) EXPECT_TRUE(line.pen == kBlack || line.pen == kRed);
  ASSERT_NE(canvas.FindText("CH3"), nullptr);
  ASSERT_NE(canvas.FindText("cm/s2"), nullptr);
  const CanvasCall* file = canvas.FindText("wave7.csv");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::make_pair(file->x1, file->y1), std::make_pair(200, 10));
  const CanvasCall* range = canvas.FindText("data : 0 - 500");
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(std::make_pair(range->x1, range->y1), std::make_pair(400, 10));
  EXPECT_EQ(canvas.Calls()[0].kind, Kind::FillRect);
  EXPECT_EQ(canvas.Calls()[0].brush, kPlotBackground);
}

TEST_F(DrawViewTest, WindowEndsAtTheLastSampleOfTheRecord) {
  const WaveData record = MakeRecord(1, 10000, 100);
  ViewWindow view = ViewOf(1);
  view.Start = 9800;
  DrawViewResult result = DrawView(wave, record, view, bandPass);
  EXPECT_EQ(result.End, 10000);
  auto trace = TraceLines(canvas);
  ASSERT_EQ(trace.size(), 199u);
  EXPECT_EQ(trace.back().x2, 80 + 238);  // trunc(199 * 0.01f * 120) = trunc(238.79999)
  EXPECT_NE(canvas.FindText("data : 9800 - 10000"), nullptr);

  // From the very end only the axes are left.
  for (const int start : {10000, 12345}) {
    canvas.ClearCalls();
    view.Start = start;
    result = DrawView(wave, record, view, bandPass);
    EXPECT_TRUE(TraceLines(canvas).empty());
    EXPECT_EQ(AxisRows(canvas), std::vector<int>{200});
    EXPECT_NE(canvas.FindText("data : 10000 - 10000"), nullptr);
  }
  canvas.ClearCalls();
  view.Start = -40;
  result = DrawView(wave, record, view, bandPass);
  EXPECT_EQ(result.Start, 0);
  EXPECT_NE(canvas.FindText("data : 0 - 500"), nullptr);
}

TEST_F(DrawViewTest, ShortWidthsCoverTheTruncatedSampleCount) {
  // Seconds per division are single precision: 2 * 0.01f lies below 0.02.
  EXPECT_EQ(WindowSamples(1000, 2 * 0.01f), 19);
  EXPECT_EQ(WindowSamples(1000, 5 * 0.01f), 49);
  EXPECT_EQ(WindowSamples(1000, 1 * 0.1f), 100);
  EXPECT_EQ(WindowSamples(100, 20.0f), 2000);
  EXPECT_EQ(WindowSamples(0, 5.0f), 0);
  EXPECT_EQ(WindowSamples(1000, -1.0f), 0);
  EXPECT_EQ(WindowSamples(2000000000, 20.0f), 40000000000LL);

  const WaveData record = MakeRecord(1, 5000, 1000);
  ViewWindow view = ViewOf(1);
  view.Divisions = 2;
  view.SecondsPerDivision = 0.01f;
  view.WidthSeconds = 2 * 0.01f;
  const DrawViewResult result = DrawView(wave, record, view, bandPass);
  EXPECT_EQ(result.End, 19);
  EXPECT_EQ(result.LastFrame.UnitLenX, 300);
  EXPECT_EQ(result.LastFrame.VValueX, 0.01f);
  EXPECT_NE(canvas.FindText("0.01"), nullptr);
  EXPECT_NE(canvas.FindText("0.02"), nullptr);
  // 18 segments; the last sample at 0.018 s: trunc(0.018 / 0.01 * 300) = 540.
  const auto trace = TraceLines(canvas);
  ASSERT_EQ(trace.size(), 18u);
  EXPECT_EQ(trace.back().x2, 80 + 540);
}

TEST_F(DrawViewTest, NoCheckedChannelOnlyClears) {
  const WaveData record = MakeRecord(2, 1000, 100);
  ViewWindow view = ViewOf(0);
  view.SingleChannel = true;
  view.SingleIndex = 1;
  view.PlotBackground = kWhitePlotBackground;
  EXPECT_EQ(SelectChannels(view, record.ChannelCount), 0);
  const DrawViewResult result = DrawView(wave, record, view, bandPass);
  EXPECT_EQ(result.CheckedCount, 0);
  ASSERT_EQ(canvas.Calls().size(), 1u);
  EXPECT_EQ(canvas.Calls()[0].kind, Kind::FillRect);
  EXPECT_EQ(canvas.Calls()[0].brush, kWhitePlotBackground);
  EXPECT_TRUE(view.SingleChannel);  // left as the last drawing set it
  EXPECT_EQ(view.SingleIndex, 1);
}

TEST_F(DrawViewTest, SingleChannelFlagFollowsTheCheckedBoxes) {
  WaveData record = MakeRecord(4, 1000, 100);
  ViewWindow view;
  view.Channels[2] = true;
  EXPECT_EQ(SelectChannels(view, record.ChannelCount), 1);
  DrawView(wave, record, view, bandPass);
  EXPECT_TRUE(view.SingleChannel);
  EXPECT_EQ(view.SingleIndex, 2);
  EXPECT_NE(canvas.FindText("CH3"), nullptr);
  EXPECT_EQ(AxisRows(canvas), std::vector<int>{200});

  view.Channels[0] = true;
  EXPECT_EQ(SelectChannels(view, record.ChannelCount), 2);
  EXPECT_FALSE(view.SingleChannel);

  // A box beyond the record's channels selects nothing.
  canvas.ClearCalls();
  view = ViewWindow{};
  view.Channels[1] = true;
  view.Channels[6] = true;
  EXPECT_EQ(SelectChannels(view, record.ChannelCount), 1);
  const DrawViewResult result = DrawView(wave, record, view, bandPass);
  EXPECT_EQ(result.CheckedCount, 1);
  EXPECT_TRUE(view.SingleChannel);
  EXPECT_EQ(view.SingleIndex, 1);
  EXPECT_EQ(AxisRows(canvas), std::vector<int>{200});
}

TEST_F(DrawViewTest, Spc51RecordsAndTheBandPassAreLabelled) {
  WaveData record = MakeRecord(2, 1000, 100);
  record.SourceKind = FileKind::Spc51;
  ViewWindow view = ViewOf(2);
  bandPass = BandEdges{1.0f, 5.0f};
  DrawView(wave, record, view, bandPass);
  int units = 0;
  for (const CanvasCall& text : canvas.Texts()) units += text.text == "μkine";
  EXPECT_EQ(units, 2);
  EXPECT_EQ(canvas.FindText("cm/s2"), nullptr);
  const CanvasCall* band = canvas.FindText("BandPass 1.00Hz - 5.00Hz");
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(std::make_pair(band->x1, band->y1), std::make_pair(520, 10));
}

TEST_F(DrawViewTest, StartThatIsNoNumberStopsAfterTheFileName) {
  const WaveData record = MakeRecord(2, 1000, 100);
  ViewWindow view = ViewOf(1);
  SelectChannels(view, record.ChannelCount);
  const DrawViewResult result = DrawView(wave, record, view, bandPass, false);
  EXPECT_FALSE(result.Completed);
  EXPECT_TRUE(view.SingleChannel);
  ASSERT_EQ(canvas.Calls().size(), 2u);
  EXPECT_EQ(canvas.Calls()[1].text, "wave7.csv");
}

TEST_F(DrawViewTest, ShortArraysAndNonFiniteSamplesStayInsideTheirBounds) {
  WaveData record = MakeRecord(2, 1000, 100);
  record.Samples[0].resize(300);  // fewer samples than the record claims
  record.Samples[1][10] = kNaN;
  record.Samples[1][20] = 1e30f;
  ViewWindow view = ViewOf(2);
  view.Start = 100;
  DrawView(wave, record, view, bandPass);
  const auto trace = TraceLines(canvas);
  ASSERT_EQ(trace.size(), 2u * 499u);
  // Strip 1: samples 300 ... 599 are read as 0, at the axis.
  for (std::size_t i = 199; i < 499; ++i) EXPECT_EQ(trace[i].y2, 127) << i;

  canvas.ClearCalls();
  view.Start = 0;
  DrawView(wave, record, view, bandPass);
  const auto second = TraceLines(canvas);
  ASSERT_EQ(second.size(), 2u * 499u);
  // Strip 2 is scaled by its sample of 1e30: the float decade lies below it,
  // so the full scale is 2e30 and the sample stands half a division up. Its
  // NaN sample is drawn far above the picture.
  EXPECT_EQ(second[499 + 9].y2, -1000000);
  EXPECT_EQ(second[499 + 19].y2, 246);  // 274 - 27.5000004
  EXPECT_EQ(second[499 + 29].y2, 274);

  // An infinite sample gives an infinite full scale; the loop still ends.
  canvas.ClearCalls();
  record.Samples[1][20] = -kInf;
  DrawView(wave, record, view, bandPass);
  EXPECT_NE(canvas.FindText("inf"), nullptr);
  EXPECT_NE(canvas.FindText("-inf"), nullptr);
}

TEST(NiceFullScale, TakesOneTwoOrFiveTimesASinglePrecisionDecade) {
  const std::vector<std::pair<std::vector<float>, float>> cases = {
      {{1.0f}, 1.9999999f},
      {{0.9f}, 0.99999994f},
      {{-2.0f, 0.5f}, 4.9999997f},
      {{0.0f, 0.0f}, 0.000001f},
      {{}, 0.000001f},
      {{0.3f, -0.27f}, 0.5f},
      {{37.0f}, 50.0f},
      {{0.0000015f}, 0.000002f},
      {{kNaN, 0.04f}, 0.05f},
      {{kInf}, kInf},
  };
  for (const auto& [values, scale] : cases) {
    EXPECT_FLOAT_EQ(NiceFullScale(static_cast<int>(values.size()), values.data()), scale)
        << (values.empty() ? 0.0f : values[0]);
  }
  EXPECT_EQ(NiceFullScale(1, std::vector<float>{1.0f}.data()), 1.9999999f);
  EXPECT_EQ(NiceFullScale(1, std::vector<float>{0.9f}.data()), 0.99999994f);
}

TEST(MaxAbs, IsTheLargestMagnitudeFromZero) {
  const float values[] = {0.5f, -3.25f, 2.0f, kNaN};
  EXPECT_EQ(MaxAbs(4, values), 3.25f);
  EXPECT_EQ(MaxAbs(0, values), 0.0f);
  EXPECT_EQ(MaxAbs(-3, values), 0.0f);
}

TEST(DrawFitOverlay, DrawsPointsCurveAndTheSevenResultLines) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  wave.OriginX = 80;
  wave.OriginY = 200;
  wave.UnitLenX = 120;
  wave.UnitLenY = 133;
  wave.NGridX = 5;
  wave.VValueY = 4.9999997f;
  std::vector<float> points(100), curve(500);
  for (int k = 0; k < 100; ++k) points[k] = 3.0f * std::cos(0.37f * k);
  for (int i = 0; i < 500; ++i) curve[i] = 3.0f * std::cos(0.074f * i);
  const FitResult result{.A = 3.0f, .Wn = 12.566f, .H = 0.03f, .Phi = 0.7f, .F = 2.0f, .T = 0.5f, .Ratio = 0.953f};
  DrawFitOverlay(wave, 100, points.data(), 0.05f, 500, curve.data(), 0.01f, result);

  const auto circles = canvas.Of(Kind::Ellipse);
  ASSERT_EQ(circles.size(), 100u);
  for (const CanvasCall& circle : circles) {
    EXPECT_EQ(circle.pen, (Rgb{0, 128, 0}));
    EXPECT_EQ(circle.x2 - circle.x1, 6);
  }
  EXPECT_EQ(circles[99].x1 + 3, 80 + 594);  // 99 * 0.05 s at 120 pixels per second
  const auto lines = canvas.Lines();
  ASSERT_EQ(lines.size(), 499u);
  for (const CanvasCall& line : lines) {
    EXPECT_EQ(line.pen, (Rgb{0, 0, 255}));
    EXPECT_EQ(line.penWidth, 2);
  }
  std::vector<std::tuple<int, int, std::string>> texts;
  for (const CanvasCall& text : canvas.Texts()) texts.emplace_back(text.x1, text.y1, text.text);
  const std::vector<std::tuple<int, int, std::string>> expected = {
      {600, 250, "A   = 3.000"},       {600, 270, "ωn = 12.566 (1/sec)"},
      {600, 290, "f    = 2.000 (Hz)"}, {600, 310, "T    = 0.500 (sec)"},
      {600, 330, "h    = 0.0300"},     {600, 350, "φ  = 0.700"},
      {595, 370, "ratio = 0.953"},
  };
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(canvas.PenColor(), kRed);
}

TEST(DrawFitOverlay, TakesAFinishedEvaluationAndSkipsAFailedOne) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  FitEvaluation evaluation;
  evaluation.N = 250;
  evaluation.Dt = 0.01f;
  evaluation.Curve.assign(250, 0.5f);
  evaluation.Points.Delta = 0.02f;
  evaluation.Result.A = -1.25f;
  evaluation.Result.Ratio = 0.5f;
  DrawFitOverlay(wave, evaluation);
  EXPECT_EQ(canvas.Of(Kind::Ellipse).size(), 100u);
  EXPECT_NE(canvas.FindText("A   = -1.250"), nullptr);
  EXPECT_NE(canvas.FindText("ratio = 0.500"), nullptr);

  canvas.ClearCalls();
  evaluation.Failure = FitFailure{};
  DrawFitOverlay(wave, evaluation);
  EXPECT_TRUE(canvas.Calls().empty());
}

}  // namespace
