#include "io/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file
// Room left in a 255-byte file name for the temporary name's dot and suffix.
constexpr std::size_t kMaxBaseInTemporaryName = 200;
constexpr int kNameAttempts = 100;

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  struct stat target {};
  const bool exists = ::stat(path_.c_str(), &target) == 0;
  if (exists && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) {
    stream_ = std::fopen(path_.c_str(), "wb");
    if (stream_ == nullptr) error_ = errno;
    return;
  }

  const std::size_t slash = path_.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
  const std::string base = path_.substr(slash == std::string::npos ? 0 : slash + 1);
  int fd = -1;
  for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
    temporary_ = folder + "." + base.substr(0, kMaxBaseInTemporaryName) + "." + std::to_string(::getpid()) + "-" +
                 std::to_string(attempt) + ".tmp";
    fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = errno;
    temporary_.clear();
    return;
  }
  // A file written over keeps its permissions.
  if (exists && S_ISREG(target.st_mode) && ::fchmod(fd, target.st_mode & 07777) != 0) {
    // The new file keeps the umask's permissions; nothing to undo.
  }
  stream_ = ::fdopen(fd, "wb");
  if (stream_ == nullptr) {
    error_ = errno;
    ::close(fd);
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

ReplacingFile::~ReplacingFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacingFile::Commit() {
  if (stream_ == nullptr) return false;
  bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
  if (!written) error_ = errno != 0 ? errno : EIO;
  if (std::fclose(stream_) != 0 && written) {
    written = false;
    error_ = errno;
  }
  stream_ = nullptr;
  if (written && !temporary_.empty()) {
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
      error_ = errno;
      written = false;
    } else {
      temporary_.clear();
    }
  }
  return written;
}
