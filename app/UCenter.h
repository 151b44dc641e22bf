// TCenter: the band-pass dialog "バンドパスフィルタ特性". It owns the on/off box
// and the texts of the centre frequency and the band ratio; its OK turns them
// into the band edges fL = (1 − ratio) × centre and fH = (1 + ratio) × centre
// (single precision), checked against the session's record. The main window
// shows it modally and, however it was closed, re-reads the record and, once
// that succeeded, keeps the confirmed edges in the session.
#pragma once

#include <QDialog>
#include <QSize>
#include <QString>
#include <optional>

#include "analysis/BandPass.h"

class Platform;
class Session;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The look of the settings dialogs (this one and the random-decrement
// dialog): a modal dialog of the given outer size on a pale pink background
// with bold green text, and its refusal title.
void SetSettingsDialogLook(QDialog& dialog, QSize outerSize);
inline constexpr char kInputErrorTitle[] = "入力エラー";

class TCenter : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOuterWidth = 277;  // frame included
  static constexpr int kOuterHeight = 185;
  TCenter(Platform& platform, const Session& session, QWidget* parent = nullptr);

  // OK: with the box checked, reads centre and ratio, refuses values the
  // filter cannot use at the loaded record's rate (the dialog then stays open
  // and nothing changes), confirms the edges and reports "%.2f-%.2fHz";
  // unchecked, reports "なし" and confirms no edges. Then the dialog closes.
  void Button1Click();

  bool BandOn() const;
  void SetBandOn(bool on);
  QString CenterText() const;
  void SetCenterText(const QString& text);  // by every load and accepted evaluation
  QString RatioText() const;
  void SetRatioText(const QString& text);
  // The edges the OK of the current opening confirmed (box checked); none
  // before an OK, after an OK with the box unchecked, and after closing
  // otherwise.
  const std::optional<BandEdges>& ConfirmedEdges() const { return confirmed_; }
  // What the last OK put into the main window's filter label; empty before the
  // first OK.
  const QString& Label34Text() const { return label34Text_; }

  // The filter-label text of a band, "%.2f-%.2fHz".
  static QString BandText(float lower, float upper);

  QLineEdit* EdCenter = nullptr;
  QLineEdit* EdRatio = nullptr;
  QCheckBox* CBBand = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Platform& platform_;
  const Session& session_;
  std::optional<BandEdges> confirmed_;
  QString label34Text_;
};
