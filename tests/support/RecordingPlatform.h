// A Platform that answers headless: it records message boxes, clipboard
// pictures and quit requests, and returns preset file names.
#pragma once

#include <string>
#include <vector>

#include "components/Platform.h"

class RecordingPlatform : public Platform {
 public:
  struct Message {
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::None;
  };

  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
    messages.push_back({text, title, icon});
  }
  std::string OpenFileName(const FileDialogRequest& request) override {
    requests.push_back(request);
    return openAnswer;
  }
  std::string SaveFileName(const FileDialogRequest& request) override {
    requests.push_back(request);
    return saveAnswer;
  }
  void CopyImageToClipboard(const RgbImage& image) override { clipboard.push_back(image); }
  void RequestQuit() override { ++quitRequests; }

  std::vector<Message> messages;
  std::vector<FileDialogRequest> requests;
  std::vector<RgbImage> clipboard;
  int quitRequests = 0;
  std::string openAnswer;
  std::string saveAnswer;
};
