// An output file written under a temporary name in its target's folder and
// renamed into place only once it is complete and on disk: the file is
// synced before the rename and the folder after it, so that a failure (a full
// disk, a folder that refuses the file) or a power loss leaves the old file or
// the new one, never a partial or an empty one, and no temporary file.
//
// The target path itself decides (lstat), never what a link names:
// - nothing there, a regular file or a symbolic link to one (or to nothing):
//   the new file takes the name; a link is replaced by the file, never
//   written through; a regular file's permissions pass to the new one;
// - a link to a device, a pipe or a folder: refused (it would be neither
//   written through nor replaced without surprise: /dev/stdout is one);
// - a device or a named pipe named literally: written directly, as it has no
//   contents to spoil and cannot be renamed over; a pipe is opened without
//   waiting, so one without a reader fails at once instead of hanging;
// - a folder: refused.
// Whether a read-only target may be replaced is the caller's decision
// (IsReadOnlyFile): the command line refuses it without --force, the window
// asks.
#pragma once

#include <cstdio>
#include <string>

class ReplacingFile {
 public:
  // Creates the temporary file (or opens the device); check ok().
  explicit ReplacingFile(std::string path);
  // Removes the temporary file unless Commit succeeded.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // False when the file could not be created; errorText() tells why.
  bool ok() const { return stream_ != nullptr; }
  std::FILE* stream() const { return stream_; }
  // Flushes, syncs and closes the file and renames it into place. False, with
  // errorText(), when any of these fails; the temporary file is then removed.
  bool Commit();
  // The errno value of the failure.
  int error() const { return error_; }
  // Whether the target is written directly (a device, a named pipe) rather
  // than under a temporary name.
  bool WritesDirectly() const { return ok() && temporary_.empty(); }
  // Why it failed, in Japanese, for "…を作成できません：<text>。".
  std::string errorText() const;

 private:
  void OpenDirectly(bool isFifo);
  void CreateTemporary(bool keepMode, unsigned mode);

  std::string path_;
  std::string temporary_;  // empty when writing the target directly
  std::FILE* stream_ = nullptr;
  int error_ = 0;
  bool noFreeName_ = false;   // every temporary name tried was taken
  bool changedUnder_ = false;  // the target changed between the look and the open
  bool noReader_ = false;      // a named pipe that nobody reads
  bool linkToSpecial_ = false; // a link to a device, a pipe or a folder
};

// Whether `path` itself (not what a link names) is an existing regular file
// that may not be written: no write permission for anyone, or none for this
// process. The replacing write would remove such a file silently.
bool IsReadOnlyFile(const std::string& path);
