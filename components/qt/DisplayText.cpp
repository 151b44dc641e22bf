#include "components/qt/DisplayText.h"

#include <QByteArrayView>
#include <QStringDecoder>

QString DisplayText(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // The converter behind this name follows the Windows code page (0x5C is a
  // backslash, 0x8160 is U+FF5E, the NEC and IBM extensions are included).
  QStringDecoder decoder("Shift_JIS");
  if (!decoder.isValid()) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string DisplayTextUtf8(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return bytes;
  return DisplayText(bytes).toStdString();
}
