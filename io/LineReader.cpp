#include "io/LineReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    : fd_(fd), fileOffset_(offset), endOffset_(end), buffer_(BlockFor(fd) + kMaxRead + 2) {}

bool LineReader::Fill() {
  if (end_ - begin_ >= kMaxRead + 2 || eof_) return true;
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  while (!eof_ && end_ < buffer_.size()) {
    if (fileOffset_ >= endOffset_) {
      eof_ = true;
      break;
    }
    const std::size_t room = buffer_.size() - end_;
    const std::size_t wanted = endOffset_ - fileOffset_ < room ? static_cast<std::size_t>(endOffset_ - fileOffset_) : room;
    const ssize_t got = ::pread(fd_, buffer_.data() + end_, wanted, static_cast<off_t>(fileOffset_));
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
  const char* start = buffer_.data() + begin_;
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
        buffer_[begin_ + raw - 1] = '\n';
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
  fileOffset_ = offset;
  endOffset_ = end;
  begin_ = end_ = 0;
  eof_ = false;
  failed_ = false;
}
