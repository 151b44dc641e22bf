// What the components and windows ask of the desktop beyond drawing: message
// boxes, file dialogs, the clipboard and the end of the program. The window
// puts Qt behind it; tests answer it themselves, so every handler runs headless.
#pragma once

#include <string>
#include <vector>

#include "components/Canvas.h"

enum class MessageIcon { None, Information, Warning, Error };

struct FileDialogRequest {
  std::string filter;       // "説明(*.ext)|*.ext|..." pairs, as the window lists them
  int filterIndex = 1;      // 1-based preset filter
  bool promptOverwrite = false;
  std::string directory;    // folder the dialog opens in; empty: the dialog's own choice
};

class Platform {
 public:
  virtual ~Platform() = default;
  // Texts are UTF-8.
  virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;
  // Returns the chosen path, or an empty text when the user cancels.
  virtual std::string OpenFileName(const FileDialogRequest& request) = 0;
  virtual std::string SaveFileName(const FileDialogRequest& request) = 0;
  virtual void CopyImageToClipboard(const RgbImage& image) = 0;
  // Ends the program once the current event has been handled: only the exit
  // button and the menu item ask for it; no failure does.
  virtual void RequestQuit() = 0;
};
