// TAbout: the version window "バージョン情報" with its illustration of a
// measured damped oscillation and its fitted curve. Created at start, shown
// modeless from the menu, closed by hiding.
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

class TAbout : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 406;
  static constexpr int kClientHeight = 271;
  static constexpr int kPictureSize = 170;

  explicit TAbout(QWidget* parent = nullptr);

  // Shows the window, or brings it to the front when it is open already.
  void ShowWindow();
  // "OK": hides the window.
  void OKButtonClick();

  // The 170 × 170 illustration: a noisy decaying oscillation (red), the curve
  // fitted to it (blue) with its fit points, light axes, the subject in green.
  // Drawn at the given device pixel ratio (see FormulaPicture).
  static QImage Illustration(qreal devicePixelRatio = 1.0);

  QWidget* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* ReleaseDate = nullptr;
  QLabel* Build = nullptr;  // source revision and build date
  QPushButton* OKButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};
