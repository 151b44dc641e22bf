// The desktop behind the Platform interface: Qt message boxes, file dialogs,
// the clipboard and the end of the event loop.
#pragma once

#include <QWidget>

#include "components/Platform.h"

class QtPlatform final : public Platform {
 public:
  // Dialogs are centred on `parent` (may be null).
  explicit QtPlatform(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
  std::string OpenFileName(const FileDialogRequest& request) override;
  std::string SaveFileName(const FileDialogRequest& request) override;
  bool AskYesNo(const std::string& text, const std::string& title) override;
  std::optional<std::string> AskText(const std::string& text, const std::string& title,
                                     const std::string& initial) override;
  void CopyImageToClipboard(const RgbImage& image) override;
  bool RunLongWork(const std::string& label, const std::function<void(WorkReporter&)>& work) override;
  void RequestQuit() override;

  // "説明(*.ext)|*.ext|..." as Qt's ";;"-separated name filters.
  static QStringList NameFilters(const std::string& filter);

 private:
  QWidget* parent_;
};

// An RgbImage as a QImage, for the clipboard and the windows.
QImage ToQImage(const RgbImage& image);
