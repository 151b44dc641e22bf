#include "components/qt/QtPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QTimer>
#include <cstring>

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
  return dialog.selectedFiles().first().toStdString();
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
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first().toStdString();
}

void QtPlatform::CopyImageToClipboard(const RgbImage& image) {
  QGuiApplication::clipboard()->setImage(ToQImage(image));
}

void QtPlatform::RequestQuit() {
  // After the current event: the handler that asked finishes first.
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}
