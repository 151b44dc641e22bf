// The text layer of our PDF pages: Qt writes each embedded font's ToUnicode
// map from the first code point of each glyph, so a glyph a font shares between
// a Kangxi radical (U+2F00–U+2FD5) and its ideograph is mapped back to the
// radical, and "採用" is extracted and searched as "採⽤". The fix-up maps those
// radicals to their ideographs (their compatibility equivalents) inside the
// ToUnicode streams only; the hex digits keep their length, so no offset of the
// file moves.
#pragma once

#include <QByteArray>

// Rewrites `pdf` in place; returns how many entries were changed.
int MapRadicalsToIdeographs(QByteArray& pdf);
