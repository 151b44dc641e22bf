// Text bytes as the program shows them. Record texts are kept as the bytes
// they were stored with: UTF-8 from our own files and the windows, Shift-JIS
// (Windows code page 932) from data files written on Japanese systems. A text
// whose bytes are valid UTF-8 as a whole is read as UTF-8; any other text is
// read as Shift-JIS, with undecodable bytes shown as U+FFFD.
//
// The decision is made for the whole text rather than per run of bytes,
// because Shift-JIS double-byte characters can contain byte pairs that would
// also pass as UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "io/WaveData.h"  // IsValidUtf8

QString DisplayText(const std::string& bytes);
std::string DisplayTextUtf8(const std::string& bytes);
