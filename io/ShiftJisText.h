// Texts for the files the program writes in Shift-JIS (the results file, the
// converted CSV). File names on this system and the names of a CSV file saved
// as UTF-8 arrive as UTF-8; written as they are, a spreadsheet reading the
// file as Shift-JIS would show garbage.
#pragma once

#include <string>
#include <string_view>

#include "io/WaveData.h"

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

// Shift-JIS (code page 932) bytes in UTF-8, whatever they look like: SPC-51
// files hold Shift-JIS only, and half-width katakana such as "ﾂｰ" (0xC2 0xB0)
// would otherwise pass for the UTF-8 of "°". A byte that starts no character
// becomes U+FFFD.
std::string ShiftJisToUtf8(std::string_view bytes);

// A record text (channel name, unit) as the program shows it: Shift-JIS for
// an SPC-51 record, DisplayUtf8 for a CSV record.
std::string DisplayRecordText(FileKind kind, std::string_view bytes);

// A name as a field of a file or a line the program writes: every control
// character (bytes 0x00-0x1F and 0x7F) becomes '?', so a name holding a line
// break cannot end the row and forge another. Shift-JIS and UTF-8 multi-byte
// characters contain no such byte, so both pass unchanged.
std::string FieldText(std::string_view name);
