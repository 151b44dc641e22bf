// What a reader hands back to the window besides the record it filled.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ReadStatus {
  Ok,
  CannotOpen,  // the file could not be opened: the window reports it and ends the program
  Refused,     // the file was opened but cannot be taken as a record: the load is refused
  Cancelled,   // the caller asked the reader to stop; the record is as it was
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  std::string message;    // UTF-8, for the message box
  std::string title;      // UTF-8, its title
  // UTF-8, a second line for `message` when the message is a fixed text: which
  // file, the cause and what to do ("「/data/a.csv」：ファイルまたはフォルダが
  // 見つかりません。…"). Empty when the message says it all.
  std::string detail;
  std::string timeLabel;  // the recording time to show (raw bytes of the file for SPC-51)
  int sliderMax = 0;      // the position slider's maximum: the sample count
  // What the user should know of a read that succeeded (UTF-8): channels left
  // out, an uneven time column. The command line prints them on stderr, the
  // window shows them once per load.
  std::vector<std::string> warnings;

  bool ok() const { return status == ReadStatus::Ok; }
};

inline constexpr char kCannotOpenMessage[] = "ファイルが開けません";
inline constexpr char kCannotOpenTitle[] = "ファイルオープンエラー";
inline constexpr char kReadRefusedTitle[] = "読み込みエラー";

// The file at `path` could not be opened: `error` is the errno value of the
// failed call, or 0 for a path that is no regular file (a folder, a device).
ReadResult CannotOpen(std::string_view path, int error);

// The check every reader makes after opening `path`: `fd` is what open
// returned (-1 with errno set when it failed); `info` receives the file's
// status. Empty when the file is a regular file that can be read.
std::optional<ReadResult> UnopenableFile(std::string_view path, int fd, struct stat& info);
ReadResult Refused(std::string message);
ReadResult ReadCancelled();

// The refusal of a file that changed while it was read (its size, time or
// line count differed between the reader's passes).
ReadResult ChangedWhileRead();

// The warning for a file of `named` channels of which the first 8 were read.
std::string ChannelsLeftOutWarning(int named);

// Whether `bytes` more of sample arrays can be held without pushing the machine
// into swapping: at most half of the memory the system reports as available.
bool FitsInMemory(unsigned long long bytes);

// Caps what FitsInMemory allows below what the machine has (0: no cap), for
// programs that run the readers many times over, such as the fuzzers.
void SetSampleMemoryCap(unsigned long long bytes);
