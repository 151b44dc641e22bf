// The results file "減衰特性.csv" and every other Shift-JIS CSV log the program
// appends to: one row per evaluation, CR LF line ends (the rows themselves are
// made by analysis/ResultRows). Writers of one file may
// be several processes at once (the window, command lines run side by side),
// so every writer holds an advisory lock (flock) on the file while it writes,
// and appends with O_APPEND. Rows go straight to the file with write(2): a row
// is on disk as soon as it is written, however the program ends. Only the
// path itself is written: a symbolic link in its place, or anything but a
// regular file with one name, is refused, never followed (see LockedFile).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// The file name in the file system's encoding (UTF-8).
inline constexpr char kResultsFileName[] = "減衰特性.csv";

// "<folder>/減衰特性.csv", formed once from the folder current at start-up.
std::string ResultsFilePath(const std::string& startupFolder);

// Why a file could not be written, shown to the user when another program
// holds the file's lock.
inline constexpr char kFileBusyText[] = "別のプログラムがこのファイルに書き込み中です";

// How long an append waits for another writer's lock before it gives up.
inline constexpr std::chrono::milliseconds kLockWait{5000};

struct AppendResult {
  enum class Status {
    Ok,
    CannotOpen,   // the file cannot be opened or created
    Busy,         // another writer kept the lock longer than the wait
    CannotWrite,  // opened, but the rows did not get in
  };
  Status status = Status::Ok;
  std::string cause;  // Japanese, when not Ok
  std::string path;   // the file that failed
  std::string what;   // its name in messages, when the caller gave one

  bool ok() const { return status == Status::Ok; }
};

// Appends rows (complete lines in the file's bytes) to the file at `path`,
// creating it if needed. Under the file's lock, the header goes first when the
// file is empty, whether new, touched, or left empty by an earlier failure,
// and the line end a last line lacks goes before the rows. A failed write
// takes back what it wrote, and a file this call created is removed again, so
// that no empty file is left behind. (AppendTransaction does the same for
// several files at once.)
AppendResult AppendLocked(const std::string& path, std::string_view header, const std::vector<std::string>& rows,
                          std::chrono::milliseconds lockWait = kLockWait);

// The window's results file, held open (and locked) for the evaluations of one
// loaded record and created anew, emptied, at every load. It keeps what it
// wrote since, so that a file deleted under it can be made again whole.
class ResultsFile {
 public:
  enum class CreateStatus {
    Created,
    Locked,  // another program kept the lock past the wait: the file is left as it is, and this object stays closed
    Failed,
  };
  enum class AppendStatus {
    Appended,
    Recreated,  // the file had been deleted: made again with everything written since Create
    Replaced,   // another file is at the path now: left alone, and this object closed
    Failed,     // the write failed; whatever part of the row got in is taken back
  };

  ResultsFile() = default;
  ~ResultsFile() { Close(); }
  ResultsFile(const ResultsFile&) = delete;
  ResultsFile& operator=(const ResultsFile&) = delete;

  // Opens `path` (creating it if needed) under its lock, waiting at most
  // `lockWait` for another holder, empties it and writes the header line.
  // Called again for the same file, it keeps the lock it holds. On Locked and
  // Failed the object is closed, with errorText().
  CreateStatus Create(const std::string& path, std::string_view header, std::chrono::milliseconds lockWait = kLockWait);
  // Appends a whole row, after checking that the path still names the file;
  // true when the row is in the file at the path (Appended or Recreated).
  // LastAppend() tells which; errorText() why it is not.
  bool Append(std::string_view row);
  AppendStatus LastAppend() const { return lastAppend_; }
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // Why the last Create or Append failed, in Japanese.
  const std::string& errorText() const { return errorText_; }

 private:
  bool Recreate(std::string_view row);

  int fd_ = -1;
  std::string path_;
  std::string written_;  // the file's contents as written since Create
  AppendStatus lastAppend_ = AppendStatus::Failed;
  std::string errorText_;
};
