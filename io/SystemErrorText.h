// The cause of a failed system call (an errno value) in our own Japanese
// wording, for messages the program shows or prints; strerror's English is
// never shown to the user.
#pragma once

#include <string>

// "ファイルまたはフォルダが見つかりません" for ENOENT and the like; any other
// number gives a generic text that names it ("エラー番号 N").
std::string SystemErrorText(int error);

// A message and its second line (the cause, what to do) as one text, for a
// message box or stderr; the message alone when there is no second line.
std::string WithDetail(const std::string& message, const std::string& detail);
