// File names between Qt and the file system, kept as the bytes the system
// uses. Qt holds a name as a QString; a name whose bytes are not valid UTF-8
// (Shift-JIS from a Japanese system) would come back from toStdString() with
// replacement characters and name no file.
#pragma once

#include <QString>
#include <QUrl>
#include <string>

// A path Qt produced (a file dialog's choice) in the file system's bytes.
std::string PathBytes(const QString& path);

// The path of a local file URL (a dropped file) byte for byte: its
// percent-encoded form decoded as bytes, not as UTF-8 text.
std::string LocalPathBytes(const QUrl& url);
