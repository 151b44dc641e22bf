// The program's number conversions of texts typed by the user. A text that is
// not a number raises ConversionError with the message the application's
// general error handler shows ("'%s' は整数ではありません", and on a second
// line what is wanted); the handler that
// needed the value stops there and the program goes on (see RunGuarded).
#pragma once

#include <QString>
#include <functional>
#include <stdexcept>
#include <string>

class Platform;

class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A decimal integer: optional sign and digits, blanks around it allowed.
int StrToInt(const QString& text);
// The same without an error: `fallback` for a text that is no integer.
long long StrToIntOr(const QString& text, long long fallback);
// A decimal number: optional sign, digits, point, fraction, exponent.
double StrToFloat(const QString& text);

// Runs a handler as the application's general error handler would: a
// ConversionError (or any other error) is shown in a message box and the
// program goes on.
void RunGuarded(Platform& platform, const std::function<void()>& handler);
