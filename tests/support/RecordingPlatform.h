// A Platform that answers headless: it records message boxes, clipboard
// pictures and quit requests, and returns preset file names.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "components/Platform.h"

// A message's first line: the fixed text, without the line of advice under it.
inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

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
  std::optional<std::string> AskText(const std::string& text, const std::string& title,
                                     const std::string& initial) override {
    questions.push_back({text, title, MessageIcon::None});
    offeredText = initial;
    return textAnswer;
  }
  bool AskYesNo(const std::string& text, const std::string& title) override {
    questions.push_back({text, title, MessageIcon::None});
    return yesAnswer;
  }
  void CopyImageToClipboard(const RgbImage& image) override { clipboard.push_back(image); }
  void RequestQuit() override { ++quitRequests; }
  // Runs the work at once on this thread, recording its stages and reports;
  // presses "中止" at report number cancelAtReport (1-based; 0: never),
  // counted from the start of the stage named cancelInStage when one is named.
  bool RunLongWork(const std::string& label, const std::function<void(WorkReporter&)>& work) override {
    std::atomic<bool> cancel{false};
    int reports = 0;
    bool counting = cancelInStage.empty() || cancelInStage == label;
    WorkReporter reporter;
    reporter.progress.Cancel = &cancel;
    reporter.progress.Report = [&](double fraction) {
      progress.push_back(fraction);
      if (counting && ++reports == cancelAtReport) cancel.store(true);
    };
    reporter.Stage = [&](const std::string& text) {
      stages.push_back(text);
      if (!cancelInStage.empty()) counting = text == cancelInStage;
    };
    stages.push_back(label);
    work(reporter);
    return !cancel.load();
  }

  std::vector<Message> messages;
  std::vector<Message> questions;  // yes-or-no questions, answered with yesAnswer
  bool yesAnswer = false;
  std::optional<std::string> textAnswer;  // AskText's answer; none: cancelled
  std::string offeredText;                // what AskText offered last
  std::vector<FileDialogRequest> requests;
  std::vector<RgbImage> clipboard;
  int quitRequests = 0;
  int cancelAtReport = 0;
  std::string cancelInStage;
  std::vector<std::string> stages;  // labels and stages of long work, in order
  std::vector<double> progress;     // every report of long work
  std::string openAnswer;
  std::string saveAnswer;
};
