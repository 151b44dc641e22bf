// Record texts as a QString: the bytes as the program shows them (see
// DisplayUtf8: UTF-8 kept, anything else read as Shift-JIS).
#pragma once

#include <QString>
#include <string_view>

QString DisplayText(std::string_view bytes);
