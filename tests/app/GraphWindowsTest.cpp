// The scatter window and the graph-format dialog driven through their real
// widgets, headless, with the pictures read back from the graphs' canvases.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QAction>
#include <QToolButton>
#include <QUndoStack>
#include <algorithm>
#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "app/GraphImage.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UpDown.h"
#include "components/MyGraph.h"
#include "session/Session.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RecordingPlatform.h"

namespace {

const Rgb kRed{255, 0, 0};
const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};

struct Box {
  int left, top, right, bottom;  // inclusive pixel bounds
  friend bool operator==(const Box&, const Box&) = default;
  friend bool operator<(const Box& a, const Box& b) {
    return std::tie(a.left, a.top) < std::tie(b.left, b.top);
  }
};

// Bounding boxes of the 8-connected groups of red pixels: one per circle
// while the circles do not touch.
std::vector<Box> RedBlobs(const RgbImage& img) {
  std::set<std::pair<int, int>> red;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.At(x, y) == kRed) red.insert({x, y});
  std::vector<Box> boxes;
  while (!red.empty()) {
    std::vector<std::pair<int, int>> stack{*red.begin()};
    red.erase(red.begin());
    Box box{img.width, img.height, -1, -1};
    while (!stack.empty()) {
      const auto [x, y] = stack.back();
      stack.pop_back();
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
             std::max(box.bottom, y)};
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const auto it = red.find({x + dx, y + dy});
          if (it == red.end()) continue;
          stack.push_back(*it);
          red.erase(it);
        }
    }
    boxes.push_back(box);
  }
  std::sort(boxes.begin(), boxes.end());
  return boxes;
}

// A circle of radius 3 drawn at pixel (cx, cy) covers the box cx - 3 ... cx + 2:
// its centre lies on the corner between pixels, at cx in picture coordinates.
Box Circle(int cx, int cy) { return {cx - 3, cy - 3, cx + 2, cy + 2}; }

class GraphWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureQtApp(); }

  void SetUp() override {
    graph = std::make_unique<TGraph>(platform, session);
    format = std::make_unique<TGFormat>(platform, *graph);
    graph->SetMainLabels(&aveF, &aveH, &count);
  }
  void TearDown() override {
    format.reset();
    graph.reset();
  }

  template <typename T>
  T& InGraph(const char* name) {
    T* widget = graph->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return *widget;
  }
  template <typename T>
  T& InFormat(const char* name) {
    T* widget = format->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return *widget;
  }
  // An accepted pair as the main window hands it on: stored in the session,
  // then plotted; a notice of the session shown.
  bool AddPoint(float f, float h) {
    std::vector<Notice> notices;
    const bool stored = session.AddPoint(f, h, notices);
    for (const Notice& notice : notices) platform.ShowMessage(notice.Text, notice.Title, MessageIcon::Information);
    if (stored) graph->PlotPoints();
    return stored;
  }
  RgbImage ScatterPicture() { return InGraph<TGraphImage>("MyGraph1").Picture().Image(); }
  RgbImage PreviewPicture() { return InFormat<TGraphImage>("MyGraph1").Picture().Image(); }
  void Click(QPushButton& button) { button.click(); }
  void Apply() { InFormat<QPushButton>("Button1").click(); }
  void StepDown(const char* upDown, int times) {
    auto* arrow = InFormat<TUpDown>(upDown).findChild<QToolButton*>("Down");
    ASSERT_NE(arrow, nullptr);
    for (int i = 0; i < times; ++i) arrow->click();
  }
  void PressOnGraph(Qt::MouseButton button) {
    TGraphImage& image = InGraph<TGraphImage>("MyGraph1");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), image.mapToGlobal(QPointF(100, 100)),
                      button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(&image, &press);
  }

  RecordingPlatform platform;
  Session session;
  QLabel aveF, aveH, count;
  std::unique_ptr<TGraph> graph;
  std::unique_ptr<TGFormat> format;
};

TEST_F(GraphWindowsTest, AcceptedPairsGiveTheMeansAndTheCount) {
  EXPECT_TRUE(AddPoint(2.000f, 0.0300f));
  EXPECT_TRUE(AddPoint(2.100f, 0.0310f));
  EXPECT_TRUE(AddPoint(2.200f, 0.0320f));
  EXPECT_EQ(aveF.text(), QStringLiteral("2.100"));
  EXPECT_EQ(aveH.text(), QStringLiteral("0.0310"));
  EXPECT_EQ(count.text(), QStringLiteral("3回"));
  EXPECT_EQ(session.Store().NData, 3);
}

TEST_F(GraphWindowsTest, PairsAreRedCirclesAtTruncatedPixels) {
  // 2.1 and 1.9 lie just below their decimal values in single precision, so
  // their pixels 139.99... and 129.99... truncate to 139 and 129.
  AddPoint(2.0f, 0.03f);
  AddPoint(2.1f, 0.05f);
  AddPoint(1.9f, 0.04f);
  EXPECT_EQ(aveF.text(), QStringLiteral("2.000"));
  EXPECT_EQ(aveH.text(), QStringLiteral("0.0400"));
  EXPECT_EQ(count.text(), QStringLiteral("3回"));
  const RgbImage picture = ScatterPicture();
  EXPECT_EQ(RedBlobs(picture),
            (std::vector<Box>{Circle(129, 170), Circle(135, 195), Circle(139, 144)}));
  // The 2-pixel red outline over the white fill.
  EXPECT_EQ(picture.At(135 - 3, 195), kRed);
  EXPECT_EQ(picture.At(135 - 1, 195 - 1), kWhite);
}

TEST_F(GraphWindowsTest, APointRightOfThePlotHidesTheLaterOnesButCounts) {
  AddPoint(5.1f, 0.03f);  // pixel 290, right of 35 + 250
  AddPoint(2.0f, 0.03f);
  EXPECT_TRUE(RedBlobs(ScatterPicture()).empty());
  EXPECT_EQ(aveF.text(), QStringLiteral("3.550"));
  EXPECT_EQ(count.text(), QStringLiteral("2回"));
}

TEST_F(GraphWindowsTest, ResetThenApplyLeavesTheLabelsEmpty) {
  AddPoint(2.0f, 0.03f);
  AddPoint(2.1f, 0.05f);
  Click(InGraph<QPushButton>("Button2"));
  EXPECT_TRUE(aveF.text().isEmpty());
  EXPECT_TRUE(aveH.text().isEmpty());
  EXPECT_TRUE(count.text().isEmpty());
  EXPECT_EQ(session.Store().NData, 0);
  EXPECT_TRUE(RedBlobs(ScatterPicture()).empty());
  Apply();
  EXPECT_TRUE(aveF.text().isEmpty());
  EXPECT_TRUE(count.text().isEmpty());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(GraphWindowsTest, ApplyRedrawsWithTheSpinCountsAndKeepsThePoints) {
  AddPoint(2.0f, 0.03f);
  StepDown("UpDown3", 2);  // NGridX 5 -> 3
  EXPECT_EQ(InFormat<QLineEdit>("EdGridX").text(), QStringLiteral("3"));
  Apply();
  const TMyGraph& scatter = graph->MyGraph1();
  EXPECT_EQ(scatter.NGridX, 3);
  EXPECT_EQ(scatter.SubX, 4);
  EXPECT_EQ(scatter.VValueX, static_cast<float>(5.0 / 3));
  EXPECT_EQ(scatter.VValueY, static_cast<float>(0.1 / 5));
  // dx = 250 / 3 = 83: major lines at 35, 118, 201 and the 2-pixel frame
  // edge at 284 (the pixel left of it too); nothing at 285 any more. Row 100
  // lies between the horizontal grid and sub-division lines.
  const RgbImage picture = ScatterPicture();
  for (int x : {118, 201, 283, 284}) EXPECT_EQ(picture.At(x, 100), kBlack) << x;
  for (int x : {285, 286}) EXPECT_EQ(picture.At(x, 100), kWhite) << x;
  // The point replotted on the new scale: 2.0 / (5/3) * 83 + 35 = 134.6.
  EXPECT_EQ(RedBlobs(picture), (std::vector<Box>{Circle(134, 195)}));
  EXPECT_EQ(format->MyGraph1().NGridX, 3);
  const RgbImage preview = PreviewPicture();
  EXPECT_EQ(preview.At(35 + 66, 100), kBlack);  // dx = 200 / 3
  EXPECT_TRUE(RedBlobs(preview).empty());
}

TEST_F(GraphWindowsTest, ALogarithmicAxisFromZeroIsToldOncePerApplyAndTheFramesAreDrawn) {
  graph->MyGraph1().LinearY = false;   // the scatter graph: Y from 0
  format->MyGraph1().LinearX = false;  // the preview: X from 0
  for (int apply = 1; apply <= 2; ++apply) {
    Apply();
    ASSERT_EQ(platform.messages.size(), 2u * apply);
    const auto& scatter = platform.messages[2 * apply - 2];
    const auto& preview = platform.messages[2 * apply - 1];
    EXPECT_EQ(scatter.title, "Y Scale Error");
    EXPECT_EQ(scatter.text,
              "Y Logarithmic Scale can not be determind.\n対数目盛りの開始値が 0 です。開始値を 0 より大きくしてください。");
    EXPECT_EQ(scatter.icon, MessageIcon::None);
    EXPECT_EQ(preview.title, "X Scale Error");
    EXPECT_EQ(preview.text,
              "X Logarithmic Scale can not be determind.\n対数目盛りの開始値が 0 です。開始値を 0 より大きくしてください。");
    EXPECT_EQ(preview.icon, MessageIcon::None);
  }
  // Both frames drawn regardless: the left and right edges of each plot area.
  const RgbImage scatter = ScatterPicture();
  for (int x : {35, 284}) EXPECT_EQ(scatter.At(x, 100), kBlack) << x;
  const RgbImage preview = PreviewPicture();
  for (int x : {35, 234}) EXPECT_EQ(preview.At(x, 100), kBlack) << x;
  // A plot without a new frame tells nothing.
  AddPoint(2.0f, 0.03f);
  EXPECT_EQ(platform.messages.size(), 4u);
}

TEST_F(GraphWindowsTest, SpinControlsStayInTheirRange) {
  // The spins write their start positions into the boxes they are bound to.
  EXPECT_EQ(InFormat<QLineEdit>("EdGridY").text(), QStringLiteral("5"));
  EXPECT_EQ(InFormat<QLineEdit>("EdSubX").text(), QStringLiteral("4"));
  StepDown("UpDown1", 12);
  StepDown("UpDown2", 12);
  EXPECT_EQ(InFormat<TUpDown>("UpDown1").Position(), 1);
  EXPECT_EQ(InFormat<QLineEdit>("EdGridY").text(), QStringLiteral("1"));
  EXPECT_EQ(InFormat<TUpDown>("UpDown2").Position(), 0);
  // Text typed out of range or not a number leaves the count as it was.
  QLineEdit& edit = InFormat<QLineEdit>("EdGridY");
  edit.selectAll();
  edit.insert("12");
  EXPECT_EQ(InFormat<TUpDown>("UpDown1").Position(), 1);
  edit.selectAll();
  edit.insert("7");
  EXPECT_EQ(InFormat<TUpDown>("UpDown1").Position(), 7);
  Apply();
  EXPECT_EQ(graph->MyGraph1().NGridY, 7);
  EXPECT_EQ(graph->MyGraph1().SubY, 0);
}

TEST_F(GraphWindowsTest, TheHundredAndFirstPairIsNotStoredAndToldOnce) {
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(AddPoint(1.0f + 0.01f * i, 0.02f));
  EXPECT_EQ(count.text(), QStringLiteral("100回"));
  const QString meanF = aveF.text();
  EXPECT_FALSE(AddPoint(4.5f, 0.09f));
  EXPECT_FALSE(AddPoint(4.6f, 0.08f));
  EXPECT_EQ(session.Store().NData, 100);
  EXPECT_EQ(session.Store().DataF[99], 1.0f + 0.01f * 99);
  EXPECT_EQ(aveF.text(), meanF);
  EXPECT_EQ(count.text(), QStringLiteral("100回"));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].text.find("100"), std::string::npos);

  // A load starts a new series: the notice comes again when it fills.
  session.ResetStore();
  for (int i = 0; i < 100; ++i) AddPoint(2.0f, 0.02f);
  EXPECT_FALSE(AddPoint(2.0f, 0.02f));
  EXPECT_EQ(platform.messages.size(), 2u);
}

TEST_F(GraphWindowsTest, AFullScaleOfZeroOrLessIsRefusedUntouched) {
  AddPoint(2.0f, 0.03f);
  StepDown("UpDown3", 2);
  const RgbImage before = ScatterPicture();
  for (const char* text : {"0", "-2.5"}) {
    InFormat<QLineEdit>("EdMaxX").setText(text);
    Apply();
  }
  InFormat<QLineEdit>("EdMaxX").setText("5.0");
  InFormat<QLineEdit>("EdMaxY").setText("0");
  Apply();
  ASSERT_EQ(platform.messages.size(), 3u);
  EXPECT_EQ(platform.messages[0].text, "MaxX は 0 より大きい値にしてください。");
  EXPECT_EQ(platform.messages[2].text, "MaxY は 0 より大きい値にしてください。");
  const TMyGraph& scatter = graph->MyGraph1();
  EXPECT_EQ(scatter.NGridX, 5);
  EXPECT_EQ(scatter.VValueX, 1.0f);
  EXPECT_EQ(scatter.VValueY, 0.02f);
  EXPECT_EQ(ScatterPicture().pixels, before.pixels);
}

TEST_F(GraphWindowsTest, FullScalesBeyondSinglePrecisionAreRefusedAlike) {
  // MaxX 1e39 is 2e38 per division, which fits, but its last tick does not.
  for (const char* edit : {"EdMaxX", "EdMaxY"}) {
    for (const char* text : {"1e39", "1e300", "1e-50"}) {
      InFormat<QLineEdit>("EdMaxX").setText("5.0");
      InFormat<QLineEdit>("EdMaxY").setText("0.1");
      InFormat<QLineEdit>(edit).setText(text);
      platform.messages.clear();
      Apply();
      ASSERT_EQ(platform.messages.size(), 1u) << edit << " " << text;
      EXPECT_EQ(platform.messages[0].text, std::string(edit + 2) + " の値が範囲外です（単精度の数で表せる大きさにしてください）。");
      EXPECT_EQ(graph->MyGraph1().VValueX, 1.0f);
      EXPECT_EQ(graph->MyGraph1().VValueY, 0.02f);
    }
  }
  InFormat<QLineEdit>("EdMaxY").setText("3.4e38");
  Apply();
  EXPECT_EQ(graph->MyGraph1().VValueY, static_cast<float>(3.4e38 / 5));
}

TEST_F(GraphWindowsTest, ATextThatIsNoNumberStopsTheApplyAtItsConversion) {
  AddPoint(2.0f, 0.03f);
  const RgbImage scatterBefore = ScatterPicture();
  const RgbImage previewBefore = PreviewPicture();
  StepDown("UpDown3", 2);
  StepDown("UpDown4", 1);
  InFormat<QLineEdit>("EdMaxY").setText("abc");
  Apply();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "'abc' は浮動小数点数ではありません\n半角数字の数値で入力してください（例：1.5、0.03、1e-3）。");
  const TMyGraph& scatter = graph->MyGraph1();
  // The counts and the X value per division were assigned before MaxY was read.
  EXPECT_EQ(scatter.NGridX, 3);
  EXPECT_EQ(scatter.SubX, 3);
  EXPECT_EQ(scatter.VValueX, static_cast<float>(5.0 / 3));
  EXPECT_EQ(scatter.VValueY, 0.02f);
  EXPECT_EQ(ScatterPicture().pixels, scatterBefore.pixels);
  EXPECT_EQ(format->MyGraph1().NGridX, 5);
  EXPECT_EQ(PreviewPicture().pixels, previewBefore.pixels);

  // A bad MaxX stops before either value per division.
  InFormat<QLineEdit>("EdMaxY").setText("0.2");
  InFormat<QLineEdit>("EdMaxX").setText("2,5");
  StepDown("UpDown3", 1);
  Apply();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1].text, "'2,5' は浮動小数点数ではありません\n小数点は「.」で入力してください（例：1.5）。");
  EXPECT_EQ(scatter.NGridX, 2);
  EXPECT_EQ(scatter.VValueX, static_cast<float>(5.0 / 3));
  EXPECT_EQ(scatter.VValueY, 0.02f);
}

TEST_F(GraphWindowsTest, ALoadSetsMaxXAndApplies) {
  AddPoint(2.0f, 0.03f);
  session.ResetStore();
  format->SetMaxXText(QStringLiteral("20.0"));  // a rate of 1000 / s
  format->Button1Click();
  EXPECT_EQ(InFormat<QLineEdit>("EdMaxX").text(), QStringLiteral("20.0"));
  EXPECT_EQ(graph->MyGraph1().VValueX, 4.0f);
  EXPECT_TRUE(RedBlobs(ScatterPicture()).empty());  // the old markers are gone
}

TEST_F(GraphWindowsTest, RightClickBringsUpTheFormatAndButtonsCopyAndClose) {
  PressOnGraph(Qt::LeftButton);
  EXPECT_FALSE(format->isVisible());
  PressOnGraph(Qt::RightButton);
  EXPECT_TRUE(format->isVisible());
  Click(InFormat<QPushButton>("Button2"));
  EXPECT_FALSE(format->isVisible());

  AddPoint(2.0f, 0.03f);
  Click(InGraph<QPushButton>("Button3"));
  ASSERT_EQ(platform.clipboard.size(), 1u);
  EXPECT_EQ(platform.clipboard[0].width, 300);
  EXPECT_EQ(platform.clipboard[0].pixels, ScatterPicture().pixels);

  graph->ShowPlot(Rgb{247, 255, 255});
  EXPECT_TRUE(graph->isVisible());
  EXPECT_EQ(ScatterPicture().At(2, 2), kWhite);  // the frame erases with white
  Click(InGraph<QPushButton>("Button1"));
  EXPECT_FALSE(graph->isVisible());
}

TEST(GraphWindowsLifetime, EitherWindowMayGoFirst) {
  EnsureQtApp();
  RecordingPlatform platform;
  {
    Session session;
    auto graph = std::make_unique<TGraph>(platform, session);
    auto format = std::make_unique<TGFormat>(platform, *graph);
    EXPECT_EQ(graph->FormatDialog(), format.get());
    format.reset();
    EXPECT_EQ(graph->FormatDialog(), nullptr);
    graph->MyGraph1MouseDown(Qt::RightButton);  // no dialog any more: nothing happens
  }
  {
    // As children of one main window: the scatter window, created first, is
    // destroyed first.
    Session session;
    QWidget main;
    auto* graph = new TGraph(platform, session, &main);
    new TGFormat(platform, *graph, &main);
  }
  EXPECT_TRUE(platform.messages.empty());
}

}  // namespace

namespace {

// A point taken out of the scatter plot leaves the averages; Ctrl+Z puts it
// back and Ctrl+Shift+Z takes it out again.
TEST_F(GraphWindowsTest, AnExcludedPointLeavesTheAveragesAndUndoBringsItBack) {
  AddPoint(2.0f, 0.030f);
  AddPoint(3.0f, 0.050f);
  graph->ShowPlot(Rgb{247, 255, 255});
  ASSERT_EQ(count.text(), QStringLiteral("2回"));
  // Right-clicking the marker of 3.0 Hz picks it: x = 35 + 3.0 / 1.0 × 50.
  EXPECT_EQ(graph->PointAt(185, 270 - 125), 1);
  EXPECT_EQ(graph->PointAt(120, 100), -1);

  graph->ExcludePoint(1);
  EXPECT_EQ(session.Store().NData, 1);
  EXPECT_EQ(aveF.text(), QStringLiteral("2.000"));
  EXPECT_EQ(count.text(), QStringLiteral("1回"));
  EXPECT_EQ(RedBlobs(ScatterPicture()).size(), 1u);

  // The window's own keys for undo and redo.
  auto keyed = [this](const QKeySequence& keys) {
    for (QAction* action : graph->actions()) {
      if (action->shortcuts().contains(keys)) return action;
    }
    return static_cast<QAction*>(nullptr);
  };
  QAction* undo = keyed(QKeySequence(Qt::CTRL | Qt::Key_Z));
  QAction* redo = keyed(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  ASSERT_NE(undo, nullptr);
  ASSERT_NE(redo, nullptr);
  undo->trigger();
  EXPECT_EQ(session.Store().NData, 2);
  EXPECT_EQ(aveF.text(), QStringLiteral("2.500"));
  EXPECT_EQ(RedBlobs(ScatterPicture()).size(), 2u);
  redo->trigger();
  EXPECT_EQ(session.Store().NData, 1);

  // Excluding the last one empties the labels; a reset forgets the exclusions.
  graph->ExcludePoint(0);
  EXPECT_TRUE(count.text().isEmpty());
  InGraph<QPushButton>("Button2").click();
  EXPECT_FALSE(graph->UndoStack().canUndo());
}

}  // namespace
