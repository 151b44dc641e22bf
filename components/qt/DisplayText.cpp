#include "components/qt/DisplayText.h"

#include "io/ShiftJisText.h"

QString DisplayText(std::string_view bytes) { return QString::fromStdString(DisplayUtf8(bytes)); }
