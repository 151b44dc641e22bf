// TRandomDec: the dialog of the random-decrement signature "RD法（ランダム
// デクリメント）": the trigger level in σ, the signature's length in seconds
// and the part of the record it is taken from (the whole record, the stretch
// the view shows, or samples typed in). Before anything is computed it shows
// how many triggers the setting gives and σ, and warns when they are few. Its
// OK refuses a setting that cannot give a signature; キャンセル leaves
// everything as it was. The texts are kept between openings. The main window
// computes, saves and opens the signature.
#pragma once

#include <QDialog>
#include <cstdint>
#include <span>

class Platform;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TRandomDec : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 317;  // frame included
  static constexpr int kOuterHeight = 266;

  explicit TRandomDec(Platform& platform, QWidget* parent = nullptr);

  // The channel the signature will be taken from (its samples stay the
  // caller's while the dialog is open), its rate, and the samples the view
  // shows, by the main window before every opening.
  void SetRecord(double rate, std::span<const float> samples, std::int64_t shownFirst, std::int64_t shownLast);
  // OK: reads the setting, refuses what cannot give a signature ("入力エラー";
  // the dialog stays open), then closes.
  void Button1Click();
  // The trigger count and σ of the setting as it stands, or why it cannot be
  // taken.
  void ShowTriggers();

  // The setting of the last OK.
  double Level() const { return level_; }
  float Length() const { return length_; }
  std::int64_t First() const { return first_; }
  std::int64_t Last() const { return last_; }

  QLineEdit* EdLevel = nullptr;
  QLineEdit* EdLength = nullptr;
  QRadioButton* RadioWhole = nullptr;
  QRadioButton* RadioShown = nullptr;
  QRadioButton* RadioTyped = nullptr;
  QLineEdit* EdFrom = nullptr;
  QLineEdit* EdTo = nullptr;
  QLabel* LabelTriggers = nullptr;
  QPushButton* Button1 = nullptr;  // OK
  QPushButton* Button2 = nullptr;  // キャンセル

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The range the radio buttons and boxes choose, clamped to the record;
  // false, with the reason, when the typed samples are no numbers.
  bool ChosenRange(std::int64_t& first, std::int64_t& last, std::string& problem) const;

  Platform& platform_;
  double rate_ = 0.0;
  std::span<const float> samples_;
  std::int64_t shownFirst_ = 0;
  std::int64_t shownLast_ = 0;
  double level_ = 0.0;
  float length_ = 0.0f;
  std::int64_t first_ = 0;
  std::int64_t last_ = 0;
};
