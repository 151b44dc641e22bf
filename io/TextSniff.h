// Whether a file's opening bytes are text at all, asked before a text reader
// looks for a layout: a picture, an archive or a program read as numbers
// would otherwise end in a message about its "rate" or "columns".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The bytes LooksLikeText is asked about: enough for the header lines of
// every text format read here, little enough to cost nothing.
inline constexpr std::size_t kTextSniffBytes = 4096;

// Text in any 8-bit or multi-byte encoding (UTF-8, Shift-JIS, Windows-1252 of
// old instruments): no UTF-16 byte-order mark, no NUL byte in the first line
// (the mark of UTF-16 without one), and control bytes (other than tab, line
// feed, vertical tab, form feed, carriage return and the end-of-file mark
// 0x1A of DOS programs) fewer than 8 or under 1 % of the bytes. Binary data
// has about 10 % of them; a stray byte in a cell of a text file is a content
// error the readers pass over, not a sign of another kind of file.
bool LooksLikeText(std::string_view head);

// Up to `bytes` from the start of the open file `fd` (fewer when it is
// shorter; empty when it cannot be read).
std::string FileHead(int fd, std::size_t bytes = kTextSniffBytes);
