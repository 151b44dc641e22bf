#include "io/LineReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// A block the kernel's copy and the parsing that follows share in the
// processor's second-level cache.
constexpr std::size_t kBlock = 1 << 18;
}

namespace {

// A block of the file's size when it is smaller than the usual block.
std::size_t BlockFor(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size >= 0 && static_cast<unsigned long long>(info.st_size) < kBlock) {
    return static_cast<std::size_t>(info.st_size);
  }
  return kBlock;
}

}  // namespace

LineReader::LineReader(int fd, unsigned long long offset, unsigned long long end)
    : fd_(fd),
      fileOffset_(offset),
      endOffset_(end),
      capacity_(BlockFor(fd) + kMaxRead + 2),
      buffer_(capacity_ + kOverread),
      base_(buffer_.data()) {}

LineReader::LineReader(char* data, std::size_t size)
    : fileOffset_(size), endOffset_(size), capacity_(size), base_(data), memorySize_(size), end_(size), eof_(true) {}

bool LineReader::Fill() {
  if (end_ - begin_ >= kMaxRead + 2 || eof_) return true;
  char* const buffer = buffer_.data();
  std::memmove(buffer, buffer + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  while (!eof_ && end_ < capacity_) {
    if (fileOffset_ >= endOffset_) {
      eof_ = true;
      break;
    }
    const std::size_t room = capacity_ - end_;
    const std::size_t wanted = endOffset_ - fileOffset_ < room ? static_cast<std::size_t>(endOffset_ - fileOffset_) : room;
    const ssize_t got = ::pread(fd_, buffer + end_, wanted, static_cast<off_t>(fileOffset_));
    if (got < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      eof_ = true;
    } else if (got == 0) {
      eof_ = true;
    } else {
      end_ += static_cast<std::size_t>(got);
      fileOffset_ += static_cast<unsigned long long>(got);
    }
    if (end_ - begin_ >= kMaxRead + 2) break;
  }
  return true;
}

bool LineReader::Next(std::string_view& line) {
  Fill();
  const std::size_t available = end_ - begin_;
  if (available == 0) return false;
  const char* start = base_ + begin_;
  // Look for the line feed among the first kMaxRead + 1 raw bytes: a carriage
  // return before it does not count against the 1999 characters.
  const std::size_t window = available < kMaxRead + 1 ? available : kMaxRead + 1;
  const auto* lf = static_cast<const char*>(std::memchr(start, '\n', window));
  if (lf != nullptr) {
    const std::size_t raw = static_cast<std::size_t>(lf - start);
    const bool crBefore = raw > 0 && start[raw - 1] == '\r';
    const std::size_t content = crBefore ? raw - 1 : raw;
    if (content + 1 <= kMaxRead) {
      if (crBefore) {
        // Hand out the content followed by a line feed: overwrite the carriage
        // return in the buffer, which is never looked at again.
        base_[begin_ + raw - 1] = '\n';
        line = std::string_view(start, content + 1);
      } else {
        line = std::string_view(start, raw + 1);
      }
      begin_ += raw + 1;
      return true;
    }
  }
  // No line feed within reach: the read stops after kMaxRead characters, or at
  // the end of the file.
  const std::size_t take = available < kMaxRead ? available : kMaxRead;
  line = std::string_view(start, take);
  begin_ += take;
  return true;
}

void LineReader::Reset(unsigned long long offset, unsigned long long end) {
  if (fd_ < 0) {
    end_ = static_cast<std::size_t>(end < memorySize_ ? end : memorySize_);
    begin_ = static_cast<std::size_t>(offset < end_ ? offset : end_);
    fileOffset_ = endOffset_ = end_;
    return;
  }
  fileOffset_ = offset;
  endOffset_ = end;
  begin_ = end_ = 0;
  eof_ = false;
  failed_ = false;
}

namespace {

// The exact count, one line at a time as LineReader::Next takes them.
unsigned long long CountLinesOneByOne(const char* data, std::size_t begin, std::size_t end) {
  constexpr std::size_t kMaxRead = LineReader::kMaxRead;
  unsigned long long lines = 0;
  std::size_t at = begin;
  while (at < end) {
    const std::size_t available = end - at;
    const std::size_t window = available < kMaxRead + 1 ? available : kMaxRead + 1;
    const auto* lf = static_cast<const char*>(std::memchr(data + at, '\n', window));
    ++lines;
    if (lf != nullptr) {
      const std::size_t raw = static_cast<std::size_t>(lf - (data + at));
      const std::size_t content = raw > 0 && data[at + raw - 1] == '\r' ? raw - 1 : raw;
      if (content + 1 <= kMaxRead) {
        at += raw + 1;
        continue;
      }
    }
    at += available < kMaxRead ? available : kMaxRead;
  }
  return lines;
}

}  // namespace

unsigned long long CountLines(const char* data, std::size_t begin, std::size_t end) {
  // While no line (its line feed included) is longer than the longest read,
  // every line feed ends one line and the bytes after the last one make one
  // more; a longer line sends the count to the exact way.
  constexpr std::size_t kShortLine = LineReader::kMaxRead - 1;
  unsigned long long feeds = 0;
  std::size_t lineStart = begin;
  std::size_t at = begin;
  for (; at + 64 <= end; at += 64) {
    std::uint64_t feedsHere = 0;
#if defined(__SSE2__)
    for (std::size_t k = 0; k < 64; k += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + k));
      feedsHere |= static_cast<std::uint64_t>(
                       static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))))
                   << k;
    }
#else
    for (std::size_t k = 0; k < 64; ++k) feedsHere |= static_cast<std::uint64_t>(data[at + k] == '\n') << k;
#endif
    for (; feedsHere != 0; feedsHere &= feedsHere - 1) {
      const std::size_t feed = at + static_cast<std::size_t>(std::countr_zero(feedsHere));
      if (feed - lineStart > kShortLine) return CountLinesOneByOne(data, begin, end);
      ++feeds;
      lineStart = feed + 1;
    }
    if (at + 64 - lineStart > kShortLine) return CountLinesOneByOne(data, begin, end);
  }
  for (; at < end; ++at) {
    if (data[at] != '\n') continue;
    if (at - lineStart > kShortLine) return CountLinesOneByOne(data, begin, end);
    ++feeds;
    lineStart = at + 1;
  }
  if (end - lineStart > kShortLine) return CountLinesOneByOne(data, begin, end);
  return feeds + (end > lineStart ? 1 : 0);
}
