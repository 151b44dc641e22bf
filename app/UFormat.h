// The graph-format dialog: full-scale values and numbers of divisions of the
// scatter graph, applied to it and to a small preview. The counts come from
// the spin controls, so they always lie in 1 ... 10 (divisions) and 0 ... 10
// (sub-divisions).
#pragma once

#include <QDialog>
#include <QString>

class Platform;
class QLineEdit;
class QPushButton;
class TGraph;
class TGraphImage;
class TMyGraph;
class TUpDown;

class TGFormat : public QDialog {
  Q_OBJECT

 public:
  // Registers itself with graph as the dialog its right click brings up.
  TGFormat(Platform& platform, TGraph& graph, QWidget* parent = nullptr);
  ~TGFormat() override;

  // "設　定": the counts, then the values per division, then the scatter
  // graph is redrawn with its points, then the preview. A text that is not a
  // number stops the apply at its conversion with the program's message; the
  // settings assigned before it stay. A full scale of zero or less (or one
  // whose value per division a single-precision scale cannot hold) is refused
  // before anything changes.
  void Button1Click();
  void Button2Click();  // "閉じる"
  // The X full-scale text a load writes before it applies.
  void SetMaxXText(const QString& text);

  TMyGraph& MyGraph1();  // the preview

 private:
  void FormCreate();
  // False (after telling the user) when MaxX or MaxY reads as a number the
  // graph cannot take; a text that is no number passes here and is reported
  // by the conversion in its place.
  bool FullScalesAcceptable();
  // The counts and the values per division; the edit texts are read anew.
  void AssignScale(TMyGraph& graph);

  Platform& platform_;
  TGraph& graph_;
  TGraphImage* preview_;
  QLineEdit* edMaxY_;
  QLineEdit* edGridY_;
  QLineEdit* edSubY_;
  QLineEdit* edGridX_;
  QLineEdit* edSubX_;
  QLineEdit* edMaxX_;
  TUpDown* upDown1_;  // NGridY
  TUpDown* upDown2_;  // SubY
  TUpDown* upDown3_;  // NGridX
  TUpDown* upDown4_;  // SubX
  QPushButton* button1_;
  QPushButton* button2_;
};
