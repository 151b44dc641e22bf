#include "components/qt/PdfToUnicode.h"

#include <gtest/gtest.h>

// Only the ToUnicode map the font names is rewritten, entry by entry in place;
// the same bytes elsewhere (a content stream, another object) stay.
TEST(PdfToUnicode, RadicalsInTheFontsMapBecomeTheirIdeographsAndNothingElseMoves) {
  QByteArray pdf =
      "%PDF-1.4\n"
      "5 0 obj\n<< /Length 20 >>\nstream\n<2F64> <2F00> <2E9F>\nendstream\nendobj\n"
      "9 0 obj\n<< /Type /Font /ToUnicode 17 0 R>>\nendobj\n"
      "17 0 obj\n<< /Length 60 >>\nstream\n<0001> <0003> [<63A1> <2F64> <2F8F> <2E9F> <2FD5> <2FD6> <0041>]\n"
      "endstream\nendobj\n"
      "18 0 obj\n<< /Length 8 /Filter /FlateDecode >>\nstream\n<2F64>\nendstream\nendobj\n";
  const QByteArray before = pdf;
  EXPECT_EQ(MapRadicalsToIdeographs(pdf), 4);
  EXPECT_EQ(pdf.size(), before.size());
  EXPECT_TRUE(pdf.contains("[<63A1> <7528> <884C> <6BCD> <9FA0> <2FD6> <0041>]"));  // 用 行 母 龠; U+2FD6 is none
  EXPECT_TRUE(pdf.startsWith(before.left(before.indexOf("9 0 obj"))));                // object 5 as it was
  EXPECT_TRUE(pdf.endsWith(before.mid(before.indexOf("18 0 obj"))));
}
