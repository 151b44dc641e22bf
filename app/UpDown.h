// A spin control bound to an edit box: its arrows step a whole-number position
// inside [min, max] without wrapping and write it into the box; a number typed
// into the box within the range becomes the position, any other text leaves
// the position as it was. Whoever reads the count reads Position, which
// therefore always lies inside the range. The arrow keys in the box step too.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown final : public QWidget {
 public:
  TUpDown(int min, int max, int position, QWidget* parent = nullptr);

  // Binds the edit box (sized to its left) and writes the position into it.
  void SetAssociate(QLineEdit* edit);
  int Position() const { return position_; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  // Clamped into the range; the bound box shows the result.
  void SetPosition(int position);
  void StepUp() { SetPosition(position_ + 1); }
  void StepDown() { SetPosition(position_ - 1); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowText(const QString& text);

  int min_;
  int max_;
  int position_;
  QLineEdit* associate_ = nullptr;
  QToolButton* up_;
  QToolButton* down_;
};
