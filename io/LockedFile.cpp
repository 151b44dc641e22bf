#include "io/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kLockPoll{5};
// A file removed between our two opens is opened again; more than a few such
// races in a row mean something else is going on.
constexpr int kReopenAttempts = 8;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask

bool IsPlainFile(const struct stat& info) { return S_ISREG(info.st_mode) && info.st_nlink <= 1; }

}  // namespace

int OpenRegularForAppend(const std::string& path, bool& created, std::string& refusal) {
  refusal.clear();
  created = false;
  // O_NOFOLLOW: a link in the file's place is refused, not followed. O_NONBLOCK:
  // a named pipe put there after the look below would otherwise wait for a
  // reader; it has no effect on regular files.
  // Read access too, for the last byte (MissingLineEnd); a file we may only
  // write is still appended to.
  constexpr int kFlags = O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  auto openExisting = [&path] {
    const int fd = ::open(path.c_str(), O_RDWR | kFlags);
    return fd < 0 && errno == EACCES ? ::open(path.c_str(), O_WRONLY | kFlags) : fd;
  };
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0) {
      if (S_ISLNK(named.st_mode)) {
        errno = ELOOP;
        return -1;
      }
      if (S_ISDIR(named.st_mode)) {
        errno = EISDIR;
        return -1;
      }
      if (!IsPlainFile(named)) {
        refusal = S_ISREG(named.st_mode) ? kHardLinkText : kNotRegularFileText;
        errno = 0;
        return -1;
      }
    }
    int fd = ::open(path.c_str(), O_RDWR | kFlags | O_CREAT | O_EXCL, kNewFileMode);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = openExisting();
    if (fd < 0) {
      if (errno == ENOENT) continue;  // removed between the two opens
      return -1;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return -1;
    }
    // Whatever was put in the path's place after the look above.
    if (!IsPlainFile(opened)) {
      ::close(fd);
      refusal = S_ISREG(opened.st_mode) ? kHardLinkText : kNotRegularFileText;
      errno = 0;
      return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
  }
  errno = ENOENT;
  return -1;
}

bool LockWithin(int fd, std::chrono::milliseconds wait, int& error, int operation) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      error = errno;
      return false;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
}

bool StillNamedBy(int fd, const std::string& path) {
  struct stat open {}, named {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

bool FileSize(int fd, off_t& size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  size = info.st_size;
  return true;
}

std::string_view MissingLineEnd(int fd, off_t size) {
  if (size <= 0) return {};
  char last = '\n';
  if (::pread(fd, &last, 1, size - 1) != 1) return {};
  if (last == '\n') return {};
  return last == '\r' ? std::string_view("\n") : std::string_view("\r\n");
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}
