#include "components/MyGraph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/RecordingCanvas.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempDir.h"

namespace {

using Kind = CanvasCall::Kind;
constexpr int kW = RecordingCanvas::kCharWidth;
constexpr int kH = RecordingCanvas::kTextHeight;

// The scatter window's graph.
void ScatterSettings(TMyGraph& graph) {
  graph.NGridX = 5;
  graph.NGridY = 5;
  graph.WidthX = 250;
  graph.HeightY = 250;
  graph.OriginX = 35;
  graph.OriginY = 270;
  graph.VValueX = 1.0f;
  graph.VValueY = 0.02f;
  graph.SubX = 4;
  graph.SubY = 4;
  graph.TitleX = "固有振動数[Hz]";
  graph.TitleY = "減衰比";
}

using TextAt = std::tuple<std::string, int, int>;

std::vector<TextAt> TextsOf(const RecordingCanvas& canvas) {
  std::vector<TextAt> out;
  for (const CanvasCall& call : canvas.Texts()) out.emplace_back(call.text, call.x1, call.y1);
  return out;
}

bool HasLineStyled(const RecordingCanvas& canvas, int x1, int y1, int x2, int y2, int width,
                   PenStyle style) {
  for (const CanvasCall& line : canvas.Lines()) {
    if (line.x1 == x1 && line.y1 == y1 && line.x2 == x2 && line.y2 == y2 &&
        line.penWidth == width && line.penStyle == style) {
      return true;
    }
  }
  return false;
}

class TMyGraphTest : public ::testing::Test {
 protected:
  RecordingCanvas canvas{300, 300};
  RecordingPlatform platform;
  TMyGraph graph{canvas, platform};
};

TEST_F(TMyGraphTest, StartsWithItsPublishedValues) {
  EXPECT_EQ(graph.Width(), 300);
  EXPECT_EQ(graph.Height(), 300);
  EXPECT_EQ(graph.NGridX, 4);
  EXPECT_EQ(graph.NGridY, 4);
  EXPECT_EQ(graph.WidthX, 250);
  EXPECT_EQ(graph.HeightY, 250);
  EXPECT_EQ(graph.OriginX, 35);
  EXPECT_EQ(graph.OriginY, 270);
  EXPECT_TRUE(graph.LinearX);
  EXPECT_TRUE(graph.LinearY);
  EXPECT_EQ(graph.SValueX, 0.0f);
  EXPECT_EQ(graph.SValueY, 0.0f);
  EXPECT_EQ(graph.VValueX, 5.0f);
  EXPECT_EQ(graph.VValueY, 10.0f);
  EXPECT_TRUE(graph.SubAxis);
  EXPECT_FALSE(graph.OverWrite);
  EXPECT_TRUE(graph.LeftScale);
  EXPECT_EQ(graph.SubX, 5);
  EXPECT_EQ(graph.SubY, 5);
  EXPECT_EQ(graph.TitleX, "TitleX [unit]");
  EXPECT_EQ(graph.TitleY, "TitleY [unit]");
}

TEST_F(TMyGraphTest, ScatterFrameLiesEveryFiftyPixelsWithDottedQuarters) {
  ScatterSettings(graph);
  graph.DrawWaku();

  const CanvasCall& fill = canvas.Calls().front();
  EXPECT_EQ(fill.kind, Kind::FillRect);
  EXPECT_EQ(fill.x2, 300);
  EXPECT_EQ(fill.brush, (Rgb{255, 255, 255}));
  for (int i = 0; i <= 5; ++i) {
    const int width = i == 0 || i == 5 ? 2 : 1;
    const int x = 35 + 50 * i;
    const int y = 270 - 50 * i;
    EXPECT_TRUE(HasLineStyled(canvas, x, 270, x, 20, width, PenStyle::Solid)) << x;
    EXPECT_TRUE(HasLineStyled(canvas, 35, y, 285, y, width, PenStyle::Solid)) << y;
    if (i == 5) continue;
    for (const int into : {12, 25, 37}) {
      EXPECT_TRUE(HasLineStyled(canvas, x + into, 270, x + into, 20, 1, PenStyle::Dot)) << x + into;
      EXPECT_TRUE(HasLineStyled(canvas, 35, y - into, 285, y - into, 1, PenStyle::Dot)) << y - into;
    }
  }
  // 6 + 6 major lines, 5 * 3 dotted lines on each axis.
  EXPECT_EQ(canvas.Lines().size(), 12u + 30u);
  for (const CanvasCall& line : canvas.Lines()) EXPECT_EQ(line.pen, (Rgb{0, 0, 0}));

  const std::vector<TextAt> expected = {
      {"0", 35 - kW / 2, 275},  {"1", 85 - kW / 2, 275},  {"2", 135 - kW / 2, 275},
      {"3", 185 - kW / 2, 275}, {"4", 235 - kW / 2, 275}, {"5", 285 - kW / 2, 275},
      {"0", 35 - 10 - kW, 270 - kH / 2},        {"0.02", 35 - 10 - 4 * kW, 220 - kH / 2},
      {"0.04", 35 - 10 - 4 * kW, 170 - kH / 2}, {"0.06", 35 - 10 - 4 * kW, 120 - kH / 2},
      {"0.08", 35 - 10 - 4 * kW, 70 - kH / 2},  {"0.1", 35 - 10 - 3 * kW, 20 - kH / 2},
      // 19 and 9 bytes of UTF-8; 270 + 1.4 * 12 = 286.8 and 270 - 250 - 1.3 * 12 = 4.4.
      {"固有振動数[Hz]", 35 + 125 - 19 * kW / 2, 286},
      {"減衰比", 45, 4},
  };
  EXPECT_EQ(TextsOf(canvas), expected);
  EXPECT_EQ(canvas.Style(), PenStyle::Solid);
}

TEST_F(TMyGraphTest, ThreeDivisionsOfAWideAreaLeaveTheFrameShort) {
  ScatterSettings(graph);
  graph.NGridX = 3;
  graph.SubX = 0;
  graph.SubY = 1;
  graph.DrawWaku();
  for (const int x : {35, 118, 201, 284}) EXPECT_TRUE(canvas.HasLine(x, 270, x, 20)) << x;
  EXPECT_TRUE(canvas.HasLine(35, 270, 284, 270));
  // No sub-divisions on either axis; the title still centres on the area.
  EXPECT_EQ(canvas.Lines().size(), 4u + 6u);
  const CanvasCall* title = canvas.FindText("固有振動数[Hz]");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x1, 35 + 125 - 19 * kW / 2);
}

TEST_F(TMyGraphTest, LogarithmicAxisDrawsFourSubLinesPerDecade) {
  graph.LinearX = false;
  graph.SValueX = 0.01f;
  graph.VValueX = 10.0f;
  graph.NGridX = 2;
  graph.WidthX = 200;
  graph.SubX = 9;  // ignored on a logarithmic axis
  graph.NGridY = 1;
  graph.SubY = 0;
  graph.DrawWaku();
  // log10(2, 4, 6, 8) * 100 = 30.1, 60.2, 77.8, 90.3.
  std::vector<int> subLines;
  for (const CanvasCall& line : canvas.Lines()) {
    if (line.penStyle == PenStyle::Dot) subLines.push_back(line.x1);
  }
  EXPECT_EQ(subLines, (std::vector<int>{65, 95, 112, 125, 165, 195, 212, 225}));
  ASSERT_NE(canvas.FindText("0.01"), nullptr);
  ASSERT_NE(canvas.FindText("0.1"), nullptr);
  const CanvasCall* top = canvas.FindText("1");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->x1, 235 - kW / 2);
  EXPECT_TRUE(graph.TakeNotices().empty());
}

TEST_F(TMyGraphTest, TicksOnTheAxesAndLabelsOnTheRight) {
  ScatterSettings(graph);
  graph.SubAxis = false;
  graph.LeftScale = false;
  graph.OverWrite = true;
  graph.DrawWaku();
  EXPECT_EQ(canvas.Of(Kind::FillRect).size(), 0u);
  EXPECT_TRUE(HasLineStyled(canvas, 47, 270, 47, 263, 1, PenStyle::Solid));
  EXPECT_TRUE(HasLineStyled(canvas, 35, 258, 42, 258, 1, PenStyle::Solid));
  EXPECT_FALSE(canvas.HasLine(47, 270, 47, 20));
  const CanvasCall* label = canvas.FindText("0.02");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->x1, 35 + 250 + 5);
  const CanvasCall* title = canvas.FindText("減衰比");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x1, 35 + 250 - 9 * kW - 5);
}

TEST_F(TMyGraphTest, LogarithmicAxisFromZeroIsNoticedAndTheFrameStillDrawn) {
  graph.LinearY = false;
  graph.DrawWaku();
  // Four divisions of 250 pixels: 62 each.
  EXPECT_TRUE(canvas.HasLine(35, 270, 283, 270));
  EXPECT_TRUE(canvas.HasLine(35, 270, 35, 22));
  std::vector<GraphNotice> notices = graph.TakeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].Text,
            "Y Logarithmic Scale can not be determind.\n対数目盛りの開始値が 0 です。開始値を 0 より大きくしてください。");
  EXPECT_EQ(notices[0].Title, "Y Scale Error");
  EXPECT_EQ(notices[0].Icon, MessageIcon::None);
  EXPECT_TRUE(graph.TakeNotices().empty());  // taken once
  EXPECT_TRUE(platform.messages.empty());    // the graph shows no message box itself

  // Both axes: one notice each per drawing, X first; a drawing with a start
  // above 0 adds none.
  graph.LinearX = false;
  graph.DrawWaku();
  graph.DrawWaku();
  graph.SValueX = graph.SValueY = 0.1f;
  graph.DrawWaku();
  notices = graph.TakeNotices();
  ASSERT_EQ(notices.size(), 4u);
  for (std::size_t i = 0; i < notices.size(); ++i) {
    EXPECT_EQ(notices[i].Title, i % 2 == 0 ? "X Scale Error" : "Y Scale Error") << i;
  }
  EXPECT_EQ(notices[0].Text,
            "X Logarithmic Scale can not be determind.\n対数目盛りの開始値が 0 です。開始値を 0 より大きくしてください。");
}

TEST(TMyGraph, RoundNumberWritesTickLabels) {
  const std::vector<std::pair<float, std::string>> cases = {
      {0.02f, "0.02"},     {5.0f, "5"},          {0.12349f, "0.1235"},  {0.0009f, "0.001"},
      {-1.5f, "-1.5"},     {0.00004f, "0"},      {100000.0f, "100000"}, {100001.0f, "1.0e+05"},
      {0.00001f, "1.0e-05"}, {-0.00002f, "-0"},  {1e-9f, "0"},          {0.000001f, "1.0e-06"},
      {-250000.0f, "-2.5e+05"}, {0.0f, "0"},     {-5e-9f, "0"},         {0.06f, "0.06"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(TMyGraph::_round_number(value), text) << value;
  }
}

TEST_F(TMyGraphTest, PlotGraphStopsAtTheFirstPointRightOfTheArea) {
  ScatterSettings(graph);
  canvas.SetPenColor({255, 0, 0});
  canvas.SetPenWidth(2);
  // 2.1 and 1.9 lie just below their decimal values as floats; 5.01 is on the
  // right edge (285.5), 5.03 beyond it; y above the area and x left of the
  // origin are still drawn.
  const std::vector<float> f = {2.0f, 2.1f, 1.9f, 5.01f, -0.5f, 1.0f, 5.03f, 3.0f};
  const std::vector<float> h = {0.03f, 0.05f, 0.04f, 0.0f, 0.2f, -0.01f, 0.03f, 0.03f};
  graph.PlotGraph(static_cast<int>(f.size()), f.data(), h.data(), 0, 3);
  std::vector<std::pair<int, int>> centres;
  for (const CanvasCall& circle : canvas.Of(Kind::Ellipse)) {
    centres.emplace_back(circle.x1 + 3, circle.y1 + 3);
    EXPECT_EQ(circle.x2 - circle.x1, 6);
    EXPECT_EQ(circle.pen, (Rgb{255, 0, 0}));
    EXPECT_EQ(circle.penWidth, 2);
  }
  EXPECT_EQ(centres, (std::vector<std::pair<int, int>>{
                         {135, 195}, {139, 144}, {129, 170}, {285, 270}, {10, -230}, {85, 295}}));
}

TEST_F(TMyGraphTest, MarkerShapes) {
  ScatterSettings(graph);
  struct Case {
    int type;
    std::vector<Kind> kinds;
    std::vector<int> ends;  // end points of the lines
  };
  // Centre (85, 220), size 3: r = 3, s = 2.
  const std::vector<Case> cases = {
      {1, {Kind::Polygon, Kind::MoveTo, Kind::LineTo, Kind::LineTo, Kind::LineTo},
       {82, 222, 88, 222, 85, 217}},
      {2, {Kind::FillRect, Kind::MoveTo, Kind::LineTo, Kind::LineTo, Kind::LineTo, Kind::LineTo},
       {83, 222, 87, 222, 87, 218, 83, 218}},
      {3, {Kind::Polygon, Kind::MoveTo, Kind::LineTo, Kind::LineTo, Kind::LineTo, Kind::LineTo},
       {83, 220, 85, 222, 87, 220, 85, 218}},
      {4, {Kind::MoveTo, Kind::LineTo, Kind::MoveTo, Kind::LineTo}, {88, 223, 82, 223}},
      {5, {Kind::MoveTo, Kind::LineTo, Kind::MoveTo, Kind::LineTo}, {85, 223, 82, 220}},
      {6, {}, {}},
  };
  const float x[] = {1.0f};
  const float y[] = {0.02f};
  for (const Case& c : cases) {
    canvas.ClearCalls();
    graph.PlotGraph(1, x, y, c.type, 3);
    std::vector<Kind> kinds;
    std::vector<int> ends;
    for (const CanvasCall& call : canvas.Calls()) {
      kinds.push_back(call.kind);
      if (call.kind == Kind::LineTo) {
        ends.push_back(call.x2);
        ends.push_back(call.y2);
      }
      if (call.kind == Kind::FillRect) {
        EXPECT_EQ((std::vector<int>{call.x1, call.y1, call.x2, call.y2}),
                  (std::vector<int>{83, 218, 87, 222}));
      }
    }
    EXPECT_EQ(kinds, c.kinds) << "type " << c.type;
    EXPECT_EQ(ends, c.ends) << "type " << c.type;
  }
  canvas.ClearCalls();
  graph.PlotGraph(1, x, y, 3, 3);
  EXPECT_EQ(canvas.Of(Kind::Polygon)[0].points,
            (std::vector<CanvasPoint>{{85, 218}, {83, 220}, {85, 222}, {87, 220}}));
}

TEST_F(TMyGraphTest, SkipGraphDrawsEveryStepthPointWithASolidPen) {
  ScatterSettings(graph);
  std::vector<float> x(8), y(8, 0.02f);
  for (int i = 0; i < 8; ++i) x[i] = 0.5f * static_cast<float>(i);
  canvas.SetPenStyle(PenStyle::Dot);
  graph.SkipGraph(8, x.data(), y.data(), 4, 3, 3);
  std::vector<int> starts;
  for (const CanvasCall& call : canvas.Lines()) {
    EXPECT_EQ(call.penStyle, PenStyle::Solid);
    starts.push_back(call.x1);
  }
  // Points 0, 3 and 6 at x = 35, 110, 185: two strokes each.
  EXPECT_EQ(starts, (std::vector<int>{32, 38, 107, 113, 182, 188}));
  EXPECT_EQ(canvas.Style(), PenStyle::Dot);

  canvas.ClearCalls();
  graph.SkipGraph(8, x.data(), y.data(), 4, 3, 0);
  EXPECT_TRUE(canvas.Calls().empty());
}

TEST_F(TMyGraphTest, DrawGraphJoinsPointsAndSkipsWhatALogAxisCannotShow) {
  ScatterSettings(graph);
  const float x[] = {0.0f, 1.0f, 2.5f};
  const float y[] = {0.0f, 0.02f, 0.1f};
  graph.DrawGraph(3, x, y);
  const auto& calls = canvas.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].kind, Kind::MoveTo);
  EXPECT_EQ(std::make_pair(calls[0].x1, calls[0].y1), std::make_pair(35, 270));
  EXPECT_EQ(std::make_tuple(calls[2].x1, calls[2].y1, calls[2].x2, calls[2].y2),
            std::make_tuple(85, 220, 160, 19));  // 0.1f / 0.02f * 50 = 250.0000093

  // Point 0 cannot be shown: the first drawn point joins the old pen position.
  canvas.ClearCalls();
  graph.LinearX = false;
  graph.SValueX = 0.1f;
  graph.VValueX = 10.0f;
  canvas.MoveTo(7, 7);
  graph.DrawGraph(3, x, y);
  const auto lines = canvas.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(std::make_tuple(lines[0].x1, lines[0].y1, lines[0].x2, lines[0].y2),
            std::make_tuple(7, 7, 84, 220));  // log10(1 / 0.1f) lies just below 1
}

TEST_F(TMyGraphTest, ScaleUnitChoosesTheFullScaleJustAboveTheData) {
  graph.NGridX = 5;
  const std::vector<std::pair<std::vector<float>, float>> cases = {
      {{0.7f, 3.2f}, 1.0f}, {{5.0f}, 1.0f}, {{5.01f}, 2.0f}, {{-4.0f, 0.3f}, 0.1f},
      {{12.6f}, 5.0f},       {{0.0f}, 1e-10f},
  };
  for (const auto& [data, perDivision] : cases) {
    graph.SValueX = 7.0f;
    graph.XScaleUnit(static_cast<int>(data.size()), data.data());
    EXPECT_EQ(graph.SValueX, 0.0f);
    EXPECT_FLOAT_EQ(graph.VValueX, perDivision) << data.back();
  }
  graph.NGridY = 4;
  const float ys[] = {0.09f};
  graph.YScaleUnit(1, ys);
  EXPECT_FLOAT_EQ(graph.VValueY, 0.025f);

  graph.LinearX = false;
  const float x[] = {3.2f};
  graph.XScaleUnit(1, x);
  EXPECT_FLOAT_EQ(graph.SValueX, 1e-4f);
  EXPECT_EQ(graph.VValueX, 10.0f);
  EXPECT_TRUE(graph.TakeNotices().empty());
}

TEST_F(TMyGraphTest, ScaleUnit1CentresTheOriginForNegativeData) {
  graph.NGridX = 5;
  const float xs[] = {-3.0f, -1.0f, 2.0f};
  graph.XScaleUnit1(3, xs);
  EXPECT_EQ(graph.NGridX, 6);
  EXPECT_FLOAT_EQ(graph.VValueX, 1.0f);
  EXPECT_FLOAT_EQ(graph.SValueX, -3.0f);

  graph.NGridY = 4;
  const float ys[] = {0.3f, 0.7f};
  graph.YScaleUnit1(2, ys);
  EXPECT_EQ(graph.NGridY, 4);
  EXPECT_FLOAT_EQ(graph.VValueY, 0.2f);
  EXPECT_EQ(graph.SValueY, 0.0f);
  EXPECT_TRUE(graph.TakeNotices().empty());

  graph.LinearY = false;
  const float negative[] = {-0.5f, 30.0f};
  graph.YScaleUnit1(2, negative);
  const std::vector<GraphNotice> notices = graph.TakeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].Text, "負のデータを対数目盛りでは表せません\n負の値のあるデータは線形目盛りで表示してください。");
  EXPECT_EQ(notices[0].Title, "目盛り設定エラー");
  EXPECT_EQ(notices[0].Icon, MessageIcon::Warning);
  EXPECT_FLOAT_EQ(graph.SValueY, 1e-2f);  // top at 100, four decades
  EXPECT_EQ(graph.VValueY, 10.0f);
}

TEST_F(TMyGraphTest, InfiniteDataKeepTheScale) {
  const float inf = std::numeric_limits<float>::infinity();
  const float xs[] = {1.0f, inf};
  graph.XScaleUnit(2, xs);
  graph.XScaleUnit1(2, xs);
  graph.LinearX = false;
  graph.XScaleUnit(2, xs);
  EXPECT_EQ(graph.SValueX, 0.0f);
  EXPECT_EQ(graph.VValueX, 5.0f);
  EXPECT_EQ(graph.NGridX, 4);
}

}  // namespace
