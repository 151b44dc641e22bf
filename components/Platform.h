// What the components and windows ask of the desktop beyond drawing: message
// boxes, file dialogs, the clipboard and the end of the program. The window
// puts Qt behind it; tests answer it themselves, so every handler runs headless.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "components/Canvas.h"
#include "io/Progress.h"

enum class MessageIcon { None, Information, Warning, Error };

struct FileDialogRequest {
  std::string filter;       // "説明(*.ext)|*.ext|..." pairs, as the window lists them
  int filterIndex = 1;      // 1-based preset filter
  bool promptOverwrite = false;
  std::string directory;    // folder the dialog opens in; empty: the dialog's own choice
  std::string fileName;     // name offered in a save dialog; empty: none
};

// What long work gets from the window: where to report how far it has come
// (and learn that "中止" was pressed), and how to name the stage it is in.
struct WorkReporter {
  Progress progress;  // fraction of the current stage
  // A new stage ("フィルタ処理中…"), from 0 again; nothing unless the
  // platform shows stages.
  std::function<void(const std::string&)> Stage = [](const std::string&) {};
};

class Platform {
 public:
  virtual ~Platform() = default;
  // Texts are UTF-8.
  virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;
  // Returns the chosen path, or an empty text when the user cancels.
  virtual std::string OpenFileName(const FileDialogRequest& request) = 0;
  virtual std::string SaveFileName(const FileDialogRequest& request) = 0;
  // Asks a question that is answered yes or no (may a read-only file be
  // replaced?); true for yes. A desktop that cannot ask answers no.
  virtual bool AskYesNo(const std::string& /*text*/, const std::string& /*title*/) { return false; }
  // Asks for a line of text, offering `initial`; nothing when the user cancels
  // (or the desktop cannot ask).
  virtual std::optional<std::string> AskText(const std::string& /*text*/, const std::string& /*title*/,
                                             const std::string& /*initial*/) {
    return std::nullopt;
  }
  virtual void CopyImageToClipboard(const RgbImage& image) = 0;
  // Runs `work` away from the window, which keeps repainting while nothing
  // else can be pressed; when it lasts longer than a moment, a progress
  // dialog titled with `label` shows how far it has come and offers "中止".
  // Returns when the work has returned; false when "中止" was pressed, in
  // which case the work stopped at its next block boundary and the caller
  // keeps nothing of it. `work` must not touch the window.
  virtual bool RunLongWork(const std::string& label, const std::function<void(WorkReporter&)>& work) = 0;
  // Ends the program once the current event has been handled: only the exit
  // button and the menu item ask for it; no failure does.
  virtual void RequestQuit() = 0;
};
