#include "app/Conversions.h"

#include <charconv>
#include <cmath>
#include <new>

#include "components/Platform.h"
#include "io/Version.h"

namespace {

std::string Trimmed(const QString& text) { return text.trimmed().toStdString(); }

// The fixed message names the text; the second line says what is wanted.
constexpr char kIntegerWanted[] = "\n半角数字の整数で入力してください（例：2000）。";
constexpr char kNumberWanted[] = "\n半角数字の数値で入力してください（例：1.5、0.03、1e-3）。";
constexpr char kPointWanted[] = "\n小数点は「.」で入力してください（例：1.5）。";

}  // namespace

int StrToInt(const QString& text) {
  const std::string s = Trimmed(text);
  const char* begin = s.data() + (!s.empty() && s[0] == '+' ? 1 : 0);
  const char* end = s.data() + s.size();
  int value = 0;
  const auto result = std::from_chars(begin, end, value);
  if (begin == end || result.ec != std::errc() || result.ptr != end) {
    throw ConversionError("'" + text.toStdString() + "' は整数ではありません" + kIntegerWanted);
  }
  return value;
}

long long StrToIntOr(const QString& text, long long fallback) {
  const std::string s = Trimmed(text);
  const char* begin = s.data() + (!s.empty() && s[0] == '+' ? 1 : 0);
  const char* end = s.data() + s.size();
  long long value = 0;
  const auto result = std::from_chars(begin, end, value);
  return begin == end || result.ec != std::errc() || result.ptr != end ? fallback : value;
}

double StrToFloat(const QString& text) {
  const std::string s = Trimmed(text);
  const char* begin = s.data() + (!s.empty() && s[0] == '+' ? 1 : 0);
  const char* end = s.data() + s.size();
  double value = 0.0;
  const auto result = std::from_chars(begin, end, value);
  if (begin == end || result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
    throw ConversionError("'" + text.toStdString() + "' は浮動小数点数ではありません" +
                          (text.contains(',') ? kPointWanted : kNumberWanted));
  }
  return value;
}

void RunGuarded(Platform& platform, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const ConversionError& error) {
    platform.ShowMessage(error.what(), kApplicationTitle, MessageIcon::Error);
  } catch (const std::bad_alloc&) {
    platform.ShowMessage("メモリが不足しているため、この操作を続けられません。", kApplicationTitle, MessageIcon::Error);
  } catch (const std::exception& error) {
    // The library's own texts are English; the user reads why in Japanese first.
    platform.ShowMessage(std::string("予期しないエラーのため、この操作を中止しました：") + error.what() + "。",
                         kApplicationTitle, MessageIcon::Error);
  }
}
