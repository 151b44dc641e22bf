// TRandomDec: the dialog of the random-decrement signature "RD法（ランダム
// デクリメント）": the trigger level in σ and the signature's length in
// seconds. Its OK refuses a setting the loaded record cannot give a signature
// for; the texts are kept between openings. The main window computes, saves
// and opens the signature.
#pragma once

#include <QDialog>

class Platform;
class QLineEdit;
class QPushButton;

class TRandomDec : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 277;  // frame included
  static constexpr int kOuterHeight = 150;

  explicit TRandomDec(Platform& platform, QWidget* parent = nullptr);

  // The record the signature will be taken from, by the main window before
  // every opening.
  void SetRecord(double rate, int sampleCount);
  // OK: reads both numbers, refuses what cannot give a signature ("入力エラー";
  // the dialog stays open), then closes.
  void Button1Click();

  // The setting of the last OK.
  double Level() const { return level_; }
  float Length() const { return length_; }

  QLineEdit* EdLevel = nullptr;
  QLineEdit* EdLength = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Platform& platform_;
  double rate_ = 0.0;
  int sampleCount_ = 0;
  double level_ = 0.0;
  float length_ = 0.0f;
};
