// TOtherFormat: the dialog "他の形式のファイルを開く" that says how to read a
// file of another instrument (plain text columns, WAV, universal file,
// MATLAB): its format (preset from the name, changeable), the rate or the
// time column, the header lines, the separator and decimal mark, the MATLAB
// variable, the WAV scale and the unit, with the file's first lines and the
// first rows the reader makes of it as the settings stand. Its OK refuses
// settings that cannot be read ("入力エラー"); the main window then loads the
// file as the open dialog's files are loaded. The settings are kept between
// openings.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "session/Session.h"

class Platform;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class TOtherFormat : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 568;  // frame included
  static constexpr int kOuterHeight = 600;

  explicit TOtherFormat(Platform& platform, QWidget* parent = nullptr);

  // Shows the dialog for `path` with the format `kind` (a text, WAV, UFF or
  // MATLAB kind) and returns what to load after OK; nothing after キャンセル.
  std::optional<LoadRequest> Ask(const std::string& path, FileKind kind);
  // The file and format the next showing starts from, and the preview of them.
  void Preset(const std::string& path, FileKind kind);

  // OK: checks the settings and closes with the request, or says what is
  // wrong ("入力エラー") and stays open.
  void OKButtonClick();
  // Reads the file again with the settings as they stand, into the previews.
  void RefreshPreview();

  // The request of the last OK.
  const std::optional<LoadRequest>& Request() const { return request_; }

  QComboBox* CbFormat = nullptr;
  QRadioButton* RadioRate = nullptr;
  QRadioButton* RadioTime = nullptr;
  QLineEdit* EdRate = nullptr;
  QLineEdit* EdTimeColumn = nullptr;
  QLineEdit* EdSkip = nullptr;
  QComboBox* CbDelimiter = nullptr;
  QComboBox* CbDecimal = nullptr;
  QComboBox* CbVariable = nullptr;
  QLineEdit* EdScale = nullptr;
  QLineEdit* EdUnit = nullptr;
  QPlainTextEdit* MemoLines = nullptr;  // the file's first lines
  QPlainTextEdit* MemoRows = nullptr;   // the first rows as read
  QLabel* LabelFile = nullptr;
  QLabel* LabelState = nullptr;         // why the file cannot be read so, or what was found
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  FileKind Kind() const;
  // The options the controls give; `strict` refuses what cannot be read (with
  // the message in `problem`), otherwise such fields are left out.
  std::optional<ReadOptions> Options(bool strict, std::string* problem) const;
  void EnableForKind();

  Platform& platform_;
  std::string path_;
  std::optional<LoadRequest> request_;
  bool refreshing_ = false;
};
