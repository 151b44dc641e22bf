// An output file written under a temporary name in its target's folder and
// renamed into place only once it is complete, so that a failure (a full disk,
// a folder that refuses the file) leaves neither a partial target nor the
// temporary file, and an existing target stays as it was. A target that exists
// and is not a regular file (/dev/null, a terminal, a pipe) is written directly:
// it has no contents to spoil and cannot be renamed over.
#pragma once

#include <cstdio>
#include <string>

class ReplacingFile {
 public:
  // Creates the temporary file; check ok().
  explicit ReplacingFile(std::string path);
  // Removes the temporary file unless Commit succeeded.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // False when the file could not be created; error() tells why.
  bool ok() const { return stream_ != nullptr; }
  std::FILE* stream() const { return stream_; }
  // Flushes and closes the file and renames it into place. False, with
  // error(), when any of these fails; the temporary file is then removed.
  bool Commit();
  // The errno value of the failure.
  int error() const { return error_; }

 private:
  std::string path_;
  std::string temporary_;  // empty when writing the target directly
  std::FILE* stream_ = nullptr;
  int error_ = 0;
};
