// The scatter-plot window: the session's accepted (f, h) pairs as red circles
// on a frequency / damping graph, and their means written into the main
// window's labels. The window is created once and shown and hidden; the graph
// and the labels are kept up to date while it is hidden.
#pragma once

#include <QColor>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include "components/Canvas.h"

class Platform;
class QUndoStack;
class Session;
class QLabel;
class QPushButton;
class TGFormat;
class TGraphImage;
class TMyGraph;

// The look shared by the scatter window and the format dialog: the bold
// proportional Japanese UI font at 13 pixels in green, the background colour,
// the outer size of the window and a place in the middle of the screen.
void SetGraphWindowLook(QWidget& window, QSize outerSize, QColor background);

class TGraph : public QWidget {
  Q_OBJECT

 public:
  TGraph(Platform& platform, Session& session, QWidget* parent = nullptr);
  ~TGraph() override;

  // The main window's labels for the mean f, the mean h and the count.
  void SetMainLabels(QLabel* aveF, QLabel* aveH, QLabel* count);
  // The dialog a right click on the graph brings up.
  void SetFormatDialog(TGFormat* format);
  TGFormat* FormatDialog() const;

  // Draws every stored pair over the picture as it stands (nothing is erased)
  // and refreshes the means and the labels; with no pairs the labels keep
  // their texts. Called after the session stored a pair.
  void PlotPoints();
  // The main window's "散布図": erase with the plot background, draw the frame
  // (which erases with white again), replot and show the window.
  void ShowPlot(Rgb plotBackground);

  // A right click on a stored point offers to exclude it; elsewhere it opens
  // the format dialog. (x, y) is the pixel under the mouse.
  void MyGraph1RightClick(int x, int y);
  // The pair under pixel (x, y), within a marker's reach; -1 when none.
  int PointAt(int x, int y) const;
  // Takes pair `index` out of the session's store, as "この点を除外" does;
  // undone and redone with Ctrl+Z and Ctrl+Shift+Z.
  void ExcludePoint(int index);
  // The exclusions can no longer be taken back: the store started again.
  void ForgetExclusions();
  QUndoStack& UndoStack() { return *undo_; }

  void Button1Click();  // "閉じる"
  void Button2Click();  // "リセット": empties the session's store
  void Button3Click();  // "コピー"
  void MyGraph1MouseDown(Qt::MouseButton button);

  TMyGraph& MyGraph1();
  // Shows the graph's picture as it now stands, after drawing on MyGraph1.
  void RepaintGraph();
 private:
  void FormCreate();
  void ShowAverages();
  // The scatter plot drawn afresh from the store (after a pair was taken out
  // or put back), on the background it was last shown with.
  void Replot();

  Platform& platform_;
  Session& session_;
  QUndoStack* undo_;
  Rgb background_{255, 255, 255};  // of the last ShowPlot
  TGraphImage* image_;
  QPushButton* button1_;
  QPushButton* button2_;
  QPushButton* button3_;
  QPointer<QLabel> labelAveF_;
  QPointer<QLabel> labelAveH_;
  QPointer<QLabel> labelCount_;
  QPointer<TGFormat> format_;
};
