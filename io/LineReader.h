// Reads a text file line by line the way the CSV format is defined: a carriage
// return right before a line feed is dropped, and one read takes at most 1999
// characters up to and including the line feed, so a longer line comes out as
// several lines. Reads the file in large blocks; a line is handed out as a view
// into the block and stays valid until the next call.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class LineReader {
 public:
  static constexpr std::size_t kMaxRead = 1999;

  static constexpr unsigned long long kToTheEnd = ~0ULL;

  // Reads `fd` from byte `offset` up to byte `end` (with pread, so several
  // readers can share one descriptor); `end` is the end of the file for it.
  explicit LineReader(int fd, unsigned long long offset = 0, unsigned long long end = kToTheEnd);
  // The next line (with its line feed, if it has one), or false at the end of
  // the file. A read error ends the file as well (see Failed()).
  bool Next(std::string_view& line);
  bool Failed() const { return failed_; }
  // Reads [offset, end) from now on, keeping its buffer.
  void Reset(unsigned long long offset, unsigned long long end);
  // File offset of the first byte not yet handed out.
  unsigned long long Offset() const { return fileOffset_ - (end_ - begin_); }

 private:
  bool Fill();  // makes sure at least kMaxRead + 2 bytes are buffered, unless at end of file

  int fd_;
  unsigned long long fileOffset_;  // where the next pread starts
  unsigned long long endOffset_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool failed_ = false;
};
