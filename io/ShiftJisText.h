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

// Text bytes as the program shows them, in UTF-8. Record texts keep the bytes
// they were stored with: UTF-8 from our own files, Shift-JIS (code page 932)
// from data files written on Japanese systems. Text whose bytes are valid
// UTF-8 as a whole stays as it is; any other text is read as Shift-JIS, a byte
// that starts no character becoming U+FFFD. The decision is made for the whole
// text, because Shift-JIS double-byte characters can contain byte pairs that
// would also pass as UTF-8.
std::string DisplayUtf8(std::string_view bytes);
