#include "components/qt/FileNames.h"

#include <QByteArray>
#include <QFile>

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string LocalPathBytes(const QUrl& url) {
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}
