#include "components/qt/PdfToUnicode.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

// The ideograph of each Kangxi radical U+2F00 … U+2FD5 (Unicode's
// compatibility decomposition).
constexpr std::array<std::uint16_t, 0x2FD6 - 0x2F00> kKangxi = {
    0x4E00, 0x4E28, 0x4E36, 0x4E3F, 0x4E59, 0x4E85, 0x4E8C, 0x4EA0, 0x4EBA, 0x513F, 0x5165, 0x516B,
    0x5182, 0x5196, 0x51AB, 0x51E0, 0x51F5, 0x5200, 0x529B, 0x52F9, 0x5315, 0x531A, 0x5338, 0x5341,
    0x535C, 0x5369, 0x5382, 0x53B6, 0x53C8, 0x53E3, 0x56D7, 0x571F, 0x58EB, 0x5902, 0x590A, 0x5915,
    0x5927, 0x5973, 0x5B50, 0x5B80, 0x5BF8, 0x5C0F, 0x5C22, 0x5C38, 0x5C6E, 0x5C71, 0x5DDB, 0x5DE5,
    0x5DF1, 0x5DFE, 0x5E72, 0x5E7A, 0x5E7F, 0x5EF4, 0x5EFE, 0x5F0B, 0x5F13, 0x5F50, 0x5F61, 0x5F73,
    0x5FC3, 0x6208, 0x6236, 0x624B, 0x652F, 0x6534, 0x6587, 0x6597, 0x65A4, 0x65B9, 0x65E0, 0x65E5,
    0x66F0, 0x6708, 0x6728, 0x6B20, 0x6B62, 0x6B79, 0x6BB3, 0x6BCB, 0x6BD4, 0x6BDB, 0x6C0F, 0x6C14,
    0x6C34, 0x706B, 0x722A, 0x7236, 0x723B, 0x723F, 0x7247, 0x7259, 0x725B, 0x72AC, 0x7384, 0x7389,
    0x74DC, 0x74E6, 0x7518, 0x751F, 0x7528, 0x7530, 0x758B, 0x7592, 0x7676, 0x767D, 0x76AE, 0x76BF,
    0x76EE, 0x77DB, 0x77E2, 0x77F3, 0x793A, 0x79B8, 0x79BE, 0x7A74, 0x7ACB, 0x7AF9, 0x7C73, 0x7CF8,
    0x7F36, 0x7F51, 0x7F8A, 0x7FBD, 0x8001, 0x800C, 0x8012, 0x8033, 0x807F, 0x8089, 0x81E3, 0x81EA,
    0x81F3, 0x81FC, 0x820C, 0x821B, 0x821F, 0x826E, 0x8272, 0x8278, 0x864D, 0x866B, 0x8840, 0x884C,
    0x8863, 0x897E, 0x898B, 0x89D2, 0x8A00, 0x8C37, 0x8C46, 0x8C55, 0x8C78, 0x8C9D, 0x8D64, 0x8D70,
    0x8DB3, 0x8EAB, 0x8ECA, 0x8F9B, 0x8FB0, 0x8FB5, 0x9091, 0x9149, 0x91C6, 0x91CC, 0x91D1, 0x9577,
    0x9580, 0x961C, 0x96B6, 0x96B9, 0x96E8, 0x9751, 0x975E, 0x9762, 0x9769, 0x97CB, 0x97ED, 0x97F3,
    0x9801, 0x98A8, 0x98DB, 0x98DF, 0x9996, 0x9999, 0x99AC, 0x9AA8, 0x9AD8, 0x9ADF, 0x9B25, 0x9B2F,
    0x9B32, 0x9B3C, 0x9B5A, 0x9CE5, 0x9E75, 0x9E7F, 0x9EA5, 0x9EBB, 0x9EC3, 0x9ECD, 0x9ED1, 0x9EF9,
    0x9EFD, 0x9F0E, 0x9F13, 0x9F20, 0x9F3B, 0x9F4A, 0x9F52, 0x9F8D, 0x9F9C, 0x9FA0,
};
// The two radicals of the supplement block with an ideograph of their own.
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 2> kSupplement = {{{0x2E9F, 0x6BCD}, {0x2EF3, 0x9F9F}}};

std::optional<std::uint16_t> IdeographOf(std::uint16_t code) {
  if (code >= 0x2F00 && code < 0x2F00 + kKangxi.size()) return kKangxi[code - 0x2F00];
  for (const auto& [radical, ideograph] : kSupplement) {
    if (code == radical) return ideograph;
  }
  return std::nullopt;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Every "<XXXX>" of 4 hex digits in [begin, end) that names a radical.
int MapRange(QByteArray& pdf, qsizetype begin, qsizetype end) {
  int changed = 0;
  char* data = pdf.data();
  for (qsizetype i = begin; i + 6 <= end; ++i) {
    if (data[i] != '<' || data[i + 5] != '>') continue;
    if (!IsHex(data[i + 1]) || !IsHex(data[i + 2]) || !IsHex(data[i + 3]) || !IsHex(data[i + 4])) continue;
    unsigned code = 0;
    std::from_chars(data + i + 1, data + i + 5, code, 16);
    const std::optional<std::uint16_t> ideograph = IdeographOf(static_cast<std::uint16_t>(code));
    if (!ideograph) continue;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int k = 0; k < 4; ++k) data[i + 4 - k] = kDigits[(*ideograph >> (4 * k)) & 0xF];
    ++changed;
  }
  return changed;
}

}  // namespace

int MapRadicalsToIdeographs(QByteArray& pdf) {
  int changed = 0;
  static const QByteArray kReference = "/ToUnicode ";
  for (qsizetype at = pdf.indexOf(kReference); at >= 0; at = pdf.indexOf(kReference, at + 1)) {
    // "/ToUnicode N 0 R" names the object "N 0 obj" whose stream is the map.
    qsizetype p = at + kReference.size();
    qsizetype digitsEnd = p;
    while (digitsEnd < pdf.size() && pdf[digitsEnd] >= '0' && pdf[digitsEnd] <= '9') ++digitsEnd;
    if (digitsEnd == p || !pdf.mid(digitsEnd, 4).startsWith(" 0 R")) continue;
    const QByteArray object = "\n" + pdf.mid(p, digitsEnd - p) + " 0 obj";
    const qsizetype start = pdf.indexOf(object);
    if (start < 0) continue;
    const qsizetype streamStart = pdf.indexOf("stream\n", start);
    const qsizetype streamEnd = pdf.indexOf("endstream", start);
    // Only a stream that is not compressed can be read and rewritten in place.
    const qsizetype dictionaryEnd = pdf.indexOf(">>", start);
    if (streamStart < 0 || streamEnd < streamStart || pdf.mid(start, dictionaryEnd - start).contains("/Filter")) continue;
    changed += MapRange(pdf, streamStart, streamEnd);
  }
  return changed;
}
