#include "components/qt/QtPlatform.h"

#include "components/qt/FileNames.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

QImage ToQImage(const RgbImage& image) {
  QImage out(image.width, image.height, QImage::Format_RGB888);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(out.scanLine(y), image.pixels.data() + static_cast<std::size_t>(y) * image.width * 3,
                static_cast<std::size_t>(image.width) * 3);
  }
  return out;
}

QStringList QtPlatform::NameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    // Qt reads the patterns from the parentheses of the description; the
    // pattern half of each pair says the same.
    filters << parts[i];
  }
  return filters;
}

void QtPlatform::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None: qtIcon = QMessageBox::NoIcon; break;
    case MessageIcon::Information: qtIcon = QMessageBox::Information; break;
    case MessageIcon::Warning: qtIcon = QMessageBox::Warning; break;
    case MessageIcon::Error: qtIcon = QMessageBox::Critical; break;
  }
  QMessageBox box(qtIcon, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, parent_);
  box.exec();
}

std::optional<std::string> QtPlatform::AskText(const std::string& text, const std::string& title,
                                               const std::string& initial) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent_, QString::fromStdString(title), QString::fromStdString(text),
                                               QLineEdit::Normal, QString::fromStdString(initial), &ok);
  if (!ok) return std::nullopt;
  return answer.toStdString();
}

bool QtPlatform::AskYesNo(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::string QtPlatform::OpenFileName(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!request.directory.empty()) dialog.setDirectory(QString::fromStdString(request.directory));
  const QStringList filters = NameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return PathBytes(dialog.selectedFiles().first());
}

std::string QtPlatform::SaveFileName(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptOverwrite);
  if (!request.directory.empty()) dialog.setDirectory(QString::fromStdString(request.directory));
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return PathBytes(dialog.selectedFiles().first());
}

void QtPlatform::CopyImageToClipboard(const RgbImage& image) {
  QGuiApplication::clipboard()->setImage(ToQImage(image));
}

void QtPlatform::RequestQuit() {
  // After the current event: the handler that asked finishes first.
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

namespace {

// The progress dialog appears only for work that lasts longer than this.
constexpr int kProgressDelayMs = 300;
constexpr int kProgressPollMs = 40;
constexpr int kProgressSteps = 1000;

// Closing the window the work was started from stops the work, as "中止"
// does: the program is ending, and nothing of the work would be shown.
class CloseWatch final : public QObject {
 public:
  CloseWatch(QWidget* window, std::atomic<bool>& cancel) : window_(window), cancel_(cancel) {
    if (window_ != nullptr) window_->installEventFilter(this);
  }
  ~CloseWatch() override {
    if (window_ != nullptr) window_->removeEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) cancel_.store(true);
    return false;
  }

 private:
  QWidget* window_;
  std::atomic<bool>& cancel_;
};

}  // namespace

bool QtPlatform::RunLongWork(const std::string& label, const std::function<void(WorkReporter&)>& work) {
  // The worker writes these; the window's timer reads them.
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::atomic<double> fraction{0.0};
  std::mutex stageMutex;
  QString stage = QString::fromStdString(label);

  WorkReporter reporter;
  reporter.progress.Cancel = &cancel;
  reporter.progress.Report = [&fraction](double f) { fraction.store(f, std::memory_order_relaxed); };
  reporter.Stage = [&](const std::string& text) {
    const std::lock_guard<std::mutex> lock(stageMutex);
    stage = QString::fromStdString(text);
    fraction.store(0.0, std::memory_order_relaxed);
  };

  QProgressDialog dialog(QString::fromStdString(label), "中止", 0, kProgressSteps, parent_);
  dialog.setWindowTitle(QCoreApplication::applicationName());
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  dialog.hide();  // shown by the timer below, once the work has lasted
  QObject::connect(&dialog, &QProgressDialog::canceled, [&cancel] { cancel.store(true); });
  const CloseWatch closeWatch(parent_ != nullptr ? parent_->window() : nullptr, cancel);

  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  bool shown = false;
  bool timeToShow = false;
  auto showProgress = [&] {
    const std::lock_guard<std::mutex> lock(stageMutex);
    dialog.setLabelText(stage);
    dialog.setValue(static_cast<int>(fraction.load(std::memory_order_relaxed) * kProgressSteps));
  };
  QTimer poll;
  poll.setInterval(kProgressPollMs);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done.load()) {
      loop.quit();
      return;
    }
    if (!shown) {
      if (clock.elapsed() >= kProgressDelayMs) {
        timeToShow = true;
        loop.quit();
      }
      return;
    }
    // "中止", the close box and Esc all end in a cancelled or hidden dialog.
    if (cancel.load() || dialog.wasCanceled() || !dialog.isVisible()) {
      cancel.store(true);
      return;
    }
    showProgress();
  });

  QApplication::setOverrideCursor(Qt::WaitCursor);
  // A failure of the work (no memory, say) is raised again here, on the
  // window's thread, where the general handler reports it.
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work(reporter);
    } catch (...) {
      failure = std::current_exception();
    }
    done.store(true);
  });
  poll.start();
  // Until the dialog shows, the window repaints but takes no input; then the
  // modal dialog keeps every other window from being pressed.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!done.load() && timeToShow) {
    shown = true;
    showProgress();
    dialog.show();
    loop.exec();
  }
  // A loop ended by anything but the work's end (the application quitting
  // with its last window) stops the work instead of waiting for all of it.
  if (!done.load()) cancel.store(true);
  worker.join();
  poll.stop();
  dialog.hide();
  QApplication::restoreOverrideCursor();
  if (failure) std::rethrow_exception(failure);
  return !cancel.load();
}
