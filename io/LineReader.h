// Reads a text file line by line the way the CSV format is defined: a carriage
// return right before a line feed is dropped, and one read takes at most 1999
// characters up to and including the line feed, so a longer line comes out as
// several lines. Reads the file in large blocks, or lines of a file already in
// memory; a line is handed out as a view into the block and stays valid until
// the next call. At least kOverread bytes past the end of a line handed out
// may be read (they hold no meaning), so that cells can be converted several
// bytes at a time.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class LineReader {
 public:
  static constexpr std::size_t kMaxRead = 1999;

  static constexpr unsigned long long kToTheEnd = ~0ULL;
  static constexpr std::size_t kOverread = 32;

  // Reads `fd` from byte `offset` up to byte `end` (with pread, so several
  // readers can share one descriptor); `end` is the end of the file for it.
  explicit LineReader(int fd, unsigned long long offset = 0, unsigned long long end = kToTheEnd);
  // Reads the `size` bytes at `data`, followed by kOverread readable bytes. A
  // carriage return before a line feed is overwritten as lines are handed
  // out, so the memory is read once.
  LineReader(char* data, std::size_t size);
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

  int fd_ = -1;                    // -1: the lines of memory
  unsigned long long fileOffset_;  // where the next pread starts (the end of the memory's range)
  unsigned long long endOffset_;
  std::size_t capacity_;      // the bytes the buffer holds of the file
  std::vector<char> buffer_;  // capacity_ and kOverread bytes
  char* base_;                // the buffer's bytes, or the memory
  std::size_t memorySize_ = 0;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool failed_ = false;
};

// The number of lines LineReader hands out of the bytes [begin, end) of
// `data` (which stay as they are), counted sixteen bytes at a time while
// every line is short; `data` is followed by LineReader::kOverread readable
// bytes.
unsigned long long CountLines(const char* data, std::size_t begin, std::size_t end);
