// TModes: "複数モード評価" — several damped modes of the stretch the main
// window shows, fitted together: each mode's f and h with their 95 %
// intervals, its amplitude and phase, and the ratio of the whole fit. The
// single-mode evaluation keeps its place in the main window; this dialog
// only reads the session.
#pragma once

#include <QDialog>
#include <cstdint>

class Platform;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class Session;

class TModes : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 560;
  static constexpr int kOuterHeight = 300;
  static constexpr int kDefaultCount = 2;
  static constexpr int kMostModes = 6;

  TModes(Platform& platform, const Session& session, QWidget* parent = nullptr);

  // The stretch to evaluate: channel (0-based), first sample and width, as
  // the main window shows them when the dialog opens.
  void SetStretch(int channel, std::int64_t start, float widthSeconds);
  // "評　価": fits the number of modes in the spin box and fills the table.
  void Button1Click();

  QSpinBox* SpinCount = nullptr;
  QPushButton* Button1 = nullptr;   // 評　価
  QPushButton* Button2 = nullptr;   // 閉じる
  QTableWidget* Table = nullptr;
  QLabel* LabelRatio = nullptr;

 private:
  Platform& platform_;
  const Session& session_;
  int channel_ = 0;
  std::int64_t start_ = 0;
  float width_ = 0.0f;
};
