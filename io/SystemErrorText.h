// The cause of a failed system call (an errno value) in our own Japanese
// wording, for messages the program shows or prints; strerror's English is
// never shown to the user.
#pragma once

#include <string>

// "ファイルまたはフォルダが見つかりません" for ENOENT and the like; any other
// number gives a generic text that names it ("エラー番号 N").
std::string SystemErrorText(int error);
