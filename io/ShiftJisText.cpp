#include "io/ShiftJisText.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "io/WaveData.h"

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One conversion descriptor per call: iconv keeps state, and a call is cheap
// next to the file writes it serves.
class Converter {
 public:
  Converter() : cd_(iconv_open("CP932", "UTF-8")) {}
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
  Converter converter;
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
