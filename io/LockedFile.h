// The steps every append to a shared CSV log takes (the results file, the
// evaluation log, a command line's --results): open the path itself, never a
// file a link names, and only a regular file with no other name; take the
// advisory lock within a time; make sure the path still names the locked
// file; write whole rows after a line end. The callers (AppendTransaction,
// ResultsFile) decide what is written and what is taken back.
#pragma once

#include <sys/file.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

// Why a path cannot be appended to, beyond what errno says.
inline constexpr char kNotRegularFileText[] = "通常のファイルではありません（フォルダ、装置、名前付きパイプなど）";
inline constexpr char kHardLinkText[] = "ほかの名前（ハードリンク）も持つファイルです";

// Opens `path` for appending, creating it when it does not exist; `created`
// tells whether this call created it. Refused: a symbolic link (ELOOP), and
// anything but a regular file with one name (`refusal` set to the text above,
// -1 returned with errno 0). A named pipe is never waited for.
int OpenRegularForAppend(const std::string& path, bool& created, std::string& refusal);

// Takes the lock (`operation` LOCK_EX or LOCK_SH of flock), waiting at most
// `wait` for another holder; false with `error` (EWOULDBLOCK when the wait ran
// out).
bool LockWithin(int fd, std::chrono::milliseconds wait, int& error, int operation = LOCK_EX);

// Whether `path` itself still names the open file (not removed, not replaced,
// not turned into a link).
bool StillNamedBy(int fd, const std::string& path);

bool FileSize(int fd, off_t& size);

// What must precede a row appended to a file of `size` bytes so that it
// starts a line: nothing, or the line end the last line lacks ("\r\n", or
// "\n" after a lone CR). Empty too when the last byte cannot be read.
std::string_view MissingLineEnd(int fd, off_t size);

// Writes all of `bytes`; false with `error` set when the file takes no more.
bool WriteAll(int fd, std::string_view bytes, int& error);
