// THowTo: the window "使い方" with the program's help text. Created at start,
// shown modeless from the menu, closed by hiding; edits to the text are kept
// only while the program runs.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class THowTo : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 417;  // frame included
  static constexpr int kOuterHeight = 518;

  explicit THowTo(QWidget* parent = nullptr);

  // Shows the window, or brings it to the front when it is open already.
  void ShowWindow();
  // "閉じる": hides the window.
  void Button1Click();

  // The help text as the text box holds it at start.
  static QString HelpText();

  QLabel* Label1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};
