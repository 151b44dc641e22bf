#include "components/MyWave.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/RecordingCanvas.h"
#include "tests/support/RecordingPlatform.h"

namespace {

using Kind = CanvasCall::Kind;
constexpr int kW = RecordingCanvas::kCharWidth;
constexpr int kH = RecordingCanvas::kTextHeight;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The main window's five-second frame at one strip.
void FiveSecondFrame(TMyWave& wave) {
  wave.OriginX = 80;
  wave.OriginY = 200;
  wave.NGridX = 5;
  wave.UnitLenX = 120;
  wave.UnitLenY = 133;
  wave.NGridY = 1;
  wave.SubY = 0;
  wave.VValueX = 1.0f;
  wave.VValueY = 2.0f;
}

TEST(TMyWave, StartsWithItsPublishedValues) {
  RecordingCanvas canvas(TMyWave::kDefaultWidth, TMyWave::kDefaultHeight);
  const TMyWave wave(canvas);
  EXPECT_EQ(wave.Width(), 400);
  EXPECT_EQ(wave.Height(), 200);
  EXPECT_EQ(wave.OriginX, 50);
  EXPECT_EQ(wave.OriginY, 100);
  EXPECT_EQ(wave.UnitLenX, 100);
  EXPECT_EQ(wave.UnitLenY, 25);
  EXPECT_EQ(wave.NGridX, 3);
  EXPECT_EQ(wave.NGridY, 2);
  EXPECT_EQ(wave.SubX, 5);
  EXPECT_EQ(wave.SubY, 2);
  EXPECT_FALSE(wave.PlusOnly);
  EXPECT_EQ(wave.SValueX, 0.0f);
  EXPECT_EQ(wave.SValueY, 0.0f);
  EXPECT_EQ(wave.VValueX, 1.0f);
  EXPECT_EQ(wave.VValueY, 10.0f);
  EXPECT_EQ(wave.Title, "Sample Wave");
  EXPECT_EQ(wave.UnitX, "[sec]");
  EXPECT_EQ(wave.UnitY, "[cm]");
}

TEST(TMyWave, ClearFillsThePictureAndKeepsTheBrush) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  wave.Clear({247, 255, 255});
  ASSERT_EQ(canvas.Calls().size(), 1u);
  const CanvasCall& fill = canvas.Calls()[0];
  EXPECT_EQ(fill.kind, Kind::FillRect);
  EXPECT_EQ((std::vector<int>{fill.x1, fill.y1, fill.x2, fill.y2}), (std::vector<int>{0, 0, 753, 401}));
  EXPECT_EQ(fill.brush, (Rgb{247, 255, 255}));
  EXPECT_EQ(canvas.BrushColor(), (Rgb{247, 255, 255}));
}

TEST(TMyWaveDrawScale, XLabelsStandCentredUnderTheirTicks) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  FiveSecondFrame(wave);
  wave.DrawScale();

  const int ticks[] = {200, 320, 440, 560, 680};
  for (int i = 0; i < 5; ++i) {
    const std::string label = std::to_string(i + 1);
    const CanvasCall* text = canvas.FindText(label);
    ASSERT_NE(text, nullptr) << label;
    EXPECT_EQ(text->x1, ticks[i] - kW / 2) << label;
    EXPECT_EQ(text->y1, 205) << label;
    EXPECT_TRUE(canvas.HasLine(ticks[i], 195, ticks[i], 205)) << ticks[i];
  }
  const CanvasCall* origin = canvas.FindText("0");
  ASSERT_NE(origin, nullptr);
  EXPECT_EQ(origin->x1, 83);
  EXPECT_EQ(origin->y1, 205);
  // Minor x ticks every 24 pixels, none on the major ticks.
  for (int x = 104; x < 680; x += 24) {
    EXPECT_EQ(canvas.HasLine(x, 197, x, 203), (x - 80) % 120 != 0) << x;
  }
}

TEST(TMyWaveDrawScale, OneDivisionEachWayLabelsTheFullScaleWithBothSigns) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  FiveSecondFrame(wave);
  wave.VValueY = 1.9999999f;  // the full scale of a peak of 1.0
  canvas.SetPenColor({0, 0, 0});
  wave.DrawScale();

  // The y labels are the texts left of the axis.
  const CanvasCall* above = nullptr;
  const CanvasCall* below = nullptr;
  const std::vector<CanvasCall> texts = canvas.Texts();
  for (const CanvasCall& text : texts) {
    if (text.x1 >= 80) continue;
    if (text.text == "2") above = &text;
    if (text.text == "-2") below = &text;
  }
  ASSERT_NE(above, nullptr);
  ASSERT_NE(below, nullptr);
  EXPECT_EQ(above->x1, 80 - kW - 5);
  EXPECT_EQ(above->y1, 67 - kH / 2);
  EXPECT_EQ(below->x1, 80 - 2 * kW - 5);
  EXPECT_EQ(below->y1, 333 - kH / 2);
  EXPECT_TRUE(canvas.HasLine(80, 67, 85, 67));
  EXPECT_TRUE(canvas.HasLine(80, 333, 85, 333));
  // Axes in the caller's colour at width 2; no minor y tick (SubY = 0).
  for (const CanvasCall& line : canvas.Lines()) {
    EXPECT_EQ(line.pen, (Rgb{0, 0, 0}));
    const bool minorY = line.x1 == 80 && line.x2 == 83;
    EXPECT_FALSE(minorY) << line.y1;
  }
  EXPECT_TRUE(canvas.HasLine(80, 200, 680, 200));
  EXPECT_EQ(canvas.Lines()[0].penWidth, 2);
  EXPECT_EQ(canvas.PenWidth(), 1);

  // Title just above the lower end of the y axis, units at the axis ends.
  const CanvasCall* title = canvas.FindText("Sample Wave");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x1, 80 + 300 - 11 * kW / 2);
  EXPECT_EQ(title->y1, 333 - kH);
  const CanvasCall* unitX = canvas.FindText("[sec]");
  ASSERT_NE(unitX, nullptr);
  EXPECT_EQ(unitX->x1, 680 - 5 * kW / 2);
  EXPECT_EQ(unitX->y1, 200 + kH + 10);
  const CanvasCall* unitY = canvas.FindText("[cm]");
  ASSERT_NE(unitY, nullptr);
  EXPECT_EQ(unitY->x1, 80 - 4 * kW - 5);
  EXPECT_EQ(unitY->y1, 67 - kH - 5);
}

TEST(TMyWaveDrawScale, PlusOnlyDrawsTheUpperHalfAndMovesTheTitleBelowTheAxis) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);  // NGridY 2, UnitLenY 25, SubY 2, origin (50, 100)
  wave.PlusOnly = true;
  wave.SValueY = 0.25f;
  wave.DrawScale();
  EXPECT_FALSE(canvas.HasLine(50, 100, 50, 150));
  EXPECT_TRUE(canvas.HasLine(50, 100, 50, 50));
  EXPECT_EQ(canvas.FindText("-10.25"), nullptr);
  ASSERT_NE(canvas.FindText("10.25"), nullptr);
  ASSERT_NE(canvas.FindText("20.25"), nullptr);
  // Minor y ticks only above: 12 pixels into each division.
  EXPECT_TRUE(canvas.HasLine(50, 88, 53, 88));
  EXPECT_TRUE(canvas.HasLine(50, 63, 53, 63));
  EXPECT_FALSE(canvas.HasLine(50, 112, 53, 112));
  const CanvasCall* title = canvas.FindText("Sample Wave");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->y1, 100 + kH + 10);
  // The y origin value in general form, right-aligned on the axis.
  const CanvasCall* originY = canvas.FindText("0.25");
  ASSERT_NE(originY, nullptr);
  EXPECT_EQ(originY->x1, 50 - 5 - 4 * kW);
  EXPECT_EQ(originY->y1, 100 - kH / 2);
}

TEST(TMyWaveDrawWave1, StopsAtTheFirstSampleRightOfThePlot) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);
  wave.NGridX = 1;  // W = 100 pixels for 1 s
  const std::vector<float> values(500, 0.0f);
  // dx = trunc(i * 0.003 * 100): 100 up to i = 336, 101 at i = 337.
  wave.DrawWave1(static_cast<int>(values.size()), values.data(), 0.003f);
  const auto lines = canvas.Lines();
  ASSERT_EQ(lines.size(), 336u);
  EXPECT_EQ(lines.back().x2, 150);
  EXPECT_EQ(lines[0].x1, 50);
  EXPECT_EQ(lines[0].x2, 50);  // 0.3 pixels truncate to the origin column
  EXPECT_EQ(lines[3].x2, 51);  // i = 4: 1.2 pixels
}

TEST(TMyWaveDrawWave1, TruncatesValuesTowardZero) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  FiveSecondFrame(wave);
  const float values[] = {1.0f, -1.0f, 0.5f, -2.0f};
  wave.DrawWave1(4, values, 0.01f);
  const auto& calls = canvas.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].kind, Kind::MoveTo);
  EXPECT_EQ(calls[0].y1, 133);  // 200 - 66.5
  EXPECT_EQ(calls[1].y2, 266);  // 200 + 66.5
  EXPECT_EQ(calls[2].y2, 166);  // 200 - 33.25
  EXPECT_EQ(calls[3].y2, 333);
  EXPECT_EQ(calls[3].x2, 83);  // 0.03 s at 120 pixels per second: 3.6
}

TEST(TMyWaveDrawWave1, FewSamplesOnlyMoveThePen) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);
  const float one[] = {5.0f};
  wave.DrawWave1(1, one, 0.01f);
  wave.DrawWave1(0, nullptr, 0.01f);
  const auto& calls = canvas.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, Kind::MoveTo);
  EXPECT_EQ(calls[0].y1, 87);  // 100 - 12.5
  EXPECT_EQ(calls[1].kind, Kind::MoveTo);
  EXPECT_EQ(calls[1].x1, 50);
  EXPECT_EQ(calls[1].y1, 100);
}

TEST(TMyWaveDrawWave1, NonFiniteAndHugeValuesClampFarOutsideThePicture) {
  RecordingCanvas canvas(753, 401);
  TMyWave wave(canvas);
  FiveSecondFrame(wave);
  const float values[] = {0.5f, kInf, -kInf, kNaN, 1e30f, -1e30f, 1.0f};
  wave.DrawWave1(7, values, 0.01f);
  const auto lines = canvas.Lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].y2, -1000000);
  EXPECT_EQ(lines[1].y2, 1000000);
  EXPECT_EQ(lines[2].y2, -1000000);  // NaN is drawn like +infinity
  EXPECT_EQ(lines[3].y2, -1000000);
  EXPECT_EQ(lines[4].y2, 1000000);
  EXPECT_EQ(lines[5].y2, 133);  // normal values are untouched
  EXPECT_EQ(lines[5].x2, 87);

  // A broken frame (zero value per division, NaN time step) clamps as well.
  canvas.ClearCalls();
  wave.VValueY = 0.0f;
  wave.DrawWave1(2, values, kNaN);
  const auto& calls = canvas.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].y1, -1000000);
  EXPECT_EQ(calls[1].x2, 80 - 1000000);
}

TEST(TMyWavePlotWave1, MarksEverySampleWithoutClipping) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);  // W = 300 pixels for 3 s
  std::vector<float> values(40);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.7f * static_cast<float>(i) - 9.0f;
  wave.PlotWave1(40, values.data(), 0.1f, 0, 3);
  const auto circles = canvas.Of(Kind::Ellipse);
  ASSERT_EQ(circles.size(), 40u);
  // (index, centre x, centre y): values -9, 0.1000004 and 18.300001.
  const std::vector<std::tuple<int, int, int>> centres = {{0, 50, 122}, {13, 180, 99}, {39, 440, 54}};
  for (const auto& [i, x, y] : centres) {
    EXPECT_EQ((std::vector<int>{circles[i].x1, circles[i].y1, circles[i].x2, circles[i].y2}),
              (std::vector<int>{x - 3, y - 3, x + 3, y + 3}))
        << i;
  }
}

TEST(TMyWavePlotWave1, DrawsEachMarkerShape) {
  struct Case {
    int shape;
    std::vector<Kind> kinds;
    std::vector<int> coords;  // the lines' end points, or the box
  };
  // Centre (50, 80) for a value of 8; size 3.
  const std::vector<Case> cases = {
      {1, {Kind::Polygon, Kind::MoveTo, Kind::LineTo, Kind::LineTo, Kind::LineTo},
       {47, 81, 53, 81, 50, 77}},
      {2, {Kind::FillRect, Kind::MoveTo, Kind::LineTo, Kind::LineTo, Kind::LineTo, Kind::LineTo},
       {47, 83, 53, 83, 53, 77, 47, 77}},
      {3, {Kind::Polygon, Kind::MoveTo, Kind::LineTo, Kind::LineTo, Kind::LineTo, Kind::LineTo},
       {47, 80, 50, 83, 53, 80, 50, 77}},
      {4, {Kind::MoveTo, Kind::LineTo, Kind::MoveTo, Kind::LineTo}, {53, 83, 47, 83}},
      {5, {Kind::MoveTo, Kind::LineTo, Kind::MoveTo, Kind::LineTo}, {50, 83, 47, 80}},
      {9, {}, {}},
  };
  const float value[] = {8.0f};
  for (const Case& c : cases) {
    RecordingCanvas canvas(400, 200);
    TMyWave wave(canvas);
    wave.PlotWave1(1, value, 0.01f, c.shape, 3);
    std::vector<Kind> kinds;
    std::vector<int> coords;
    for (const CanvasCall& call : canvas.Calls()) {
      kinds.push_back(call.kind);
      if (call.kind == Kind::LineTo) {
        coords.push_back(call.x2);
        coords.push_back(call.y2);
      }
    }
    EXPECT_EQ(kinds, c.kinds) << "shape " << c.shape;
    EXPECT_EQ(coords, c.coords) << "shape " << c.shape;
  }
}

TEST(TMyWavePlotWave1, TriangleBaseTruncatesTowardZeroAboveThePicture) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);
  const float value[] = {44.0f};  // centre y = 100 - 110 = -10
  wave.PlotWave1(1, value, 0.01f, 1, 3);
  const auto polygons = canvas.Of(Kind::Polygon);
  ASSERT_EQ(polygons.size(), 1u);
  EXPECT_EQ(polygons[0].points,
            (std::vector<CanvasPoint>{{50, -13}, {47, -8}, {53, -8}}));  // -10 + 1.5 -> -8
}

TEST(TMyWaveDrawWave, StepsByPixelsAndStopsAtThePlotEnd) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);
  wave.NGridX = 1;  // right end at 150
  std::vector<float> values(200, 0.0f);
  wave.DrawWave(200, values.data(), 2, 3);
  const auto lines = canvas.Lines();
  ASSERT_EQ(lines.size(), 33u);  // x = 53 ... 149; 152 would pass 150
  EXPECT_EQ(lines.back().x2, 149);

  canvas.ClearCalls();
  wave.DrawWave(200, values.data(), 0, 3);  // a step that never advances draws no line
  EXPECT_TRUE(canvas.Lines().empty());
}

TEST(TMyWavePlotWave, MarksEveryIntervalOnePixelApart) {
  RecordingCanvas canvas(400, 200);
  TMyWave wave(canvas);
  wave.NGridX = 1;
  std::vector<float> values(1000, 0.0f);
  wave.PlotWave(1000, values.data(), 5, 10, 0, 2);
  // 200 plotted samples; x = 50 + k up to k = 100; a marker at k = 0, 10, ... 100.
  const auto circles = canvas.Of(Kind::Ellipse);
  ASSERT_EQ(circles.size(), 11u);
  EXPECT_EQ(circles[1].x1, 58);
  EXPECT_EQ(circles.back().x1, 148);
}

TEST(TMyWave, RoundNumberWritesTickLabels) {
  const std::vector<std::pair<float, std::string>> cases = {
      {2.0f, "2"},           {0.01f, "0.01"},       {0.5f, "0.5"},       {12.3459f, "12.346"},
      {0.0009f, "0.001"},    {0.00002f, "0"},       {123456.0f, "1.2e+05"}, {-2.0f, "-2"},
      {-0.00002f, "-0"},     {0.000009f, "9.0e-06"}, {0.00001f, "1.0e-05"}, {100000.0f, "100000"},
      {0.0f, "0"},           {-250000.0f, "-2.5e+05"}, {1.9999999f, "2"},  {0.99999994f, "1"},
      {-0.12349f, "-0.1235"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(TMyWave::_round_number(value), text) << value;
  }
}

}  // namespace
