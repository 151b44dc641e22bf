// Texts for the files the program writes in Shift-JIS (the results file, the
// converted CSV). File names on this system and the names of a CSV file saved
// as UTF-8 arrive as UTF-8; written as they are, a spreadsheet reading the
// file as Shift-JIS would show garbage.
#pragma once

#include <string>
#include <string_view>

// Text that is valid UTF-8 and whose every character has a code in code page
// 932 comes back in those codes; anything else (bytes already in Shift-JIS, a
// character code page 932 lacks) comes back as the same bytes.
std::string ShiftJisText(std::string_view text);
