#include "io/ShiftJisText.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>


namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One conversion descriptor per call: iconv keeps state, and a call is cheap
// next to the file writes it serves.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::string ShiftJisText(std::string_view text) {
  if (IsAscii(text) || !IsValidUtf8(text)) return std::string(text);
  Converter converter("CP932", "UTF-8");
  if (!converter.ok()) return std::string(text);
  // A character of code page 932 takes at most two bytes, never more than its
  // UTF-8 form (two to four bytes outside ASCII).
  std::string out(text.size(), '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* next = out.data();
  std::size_t outLeft = out.size();
  if (iconv(converter.get(), &in, &inLeft, &next, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
    return std::string(text);  // a character without a code
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::string DisplayUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return ShiftJisToUtf8(bytes);
}

std::string ShiftJisToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) return std::string(bytes);
  constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  std::string out;
  // Every Shift-JIS byte becomes at most three bytes of UTF-8.
  std::string buffer(3 * bytes.size() + 3, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* next = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t done = iconv(converter.get(), &in, &inLeft, &next, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (done != static_cast<std::size_t>(-1)) break;
    // A byte that starts no character, or a lead byte cut off at the end.
    out += kReplacement;
    ++in;
    --inLeft;
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::string DisplayRecordText(FileKind kind, std::string_view bytes) {
  return kind == FileKind::Spc51 ? ShiftJisToUtf8(bytes) : DisplayUtf8(bytes);
}

std::string FieldText(std::string_view name) {
  constexpr char kReplacement = '?';
  std::string out(name);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = kReplacement;
  }
  return out;
}
