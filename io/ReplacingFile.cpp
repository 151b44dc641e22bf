#include "io/ReplacingFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "io/SystemErrorText.h"

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file
// Room left in a 255-byte file name for the temporary name's dot and suffix.
constexpr std::size_t kMaxBaseInTemporaryName = 200;
// Random names: with 36^8 of them, a taken name is a coincidence or a trap,
// and a few more tries get past either.
constexpr int kNameAttempts = 16;
constexpr int kRandomChars = 8;

std::string RandomSuffix() {
  constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kRandomChars] = {};
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, GRND_NONBLOCK);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof bytes) {
    // No random source (an old kernel, a sandbox): the clock and the process
    // still make a name others cannot set out in advance.
    static std::atomic<std::uint64_t> calls{0};
    std::uint64_t mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                        (static_cast<std::uint64_t>(::getpid()) << 32) ^ (calls++ * 0x9E3779B97F4A7C15ull);
    for (unsigned char& b : bytes) {
      mix = mix * 6364136223846793005ull + 1442695040888963407ull;
      b = static_cast<unsigned char>(mix >> 56);
    }
  }
  std::string suffix;
  for (const unsigned char b : bytes) suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
  return suffix;
}

// Syncs the folder that holds a renamed file, so that the rename itself
// survives a power loss. File systems that cannot sync a folder say so with
// EINVAL; that is no failure of the write.
int SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) error = errno;
  ::close(fd);
  return error;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  struct stat target {};
  if (::lstat(path_.c_str(), &target) != 0) {
    if (errno != ENOENT) {
      error_ = errno;
      return;
    }
    CreateTemporary(false, 0);
    return;
  }
  if (S_ISDIR(target.st_mode)) {
    error_ = EISDIR;
  } else if (S_ISREG(target.st_mode)) {
    CreateTemporary(true, target.st_mode & 07777);
  } else if (S_ISLNK(target.st_mode)) {
    // A link to a file (or to nothing) is replaced by the new file. One to a
    // device, a pipe or a folder is refused: replacing /dev/stdout or a link
    // someone planted beside a device is never what was meant.
    struct stat named {};
    if (::stat(path_.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
      linkToSpecial_ = true;
      error_ = ELOOP;
      return;
    }
    CreateTemporary(false, 0);
  } else {
    OpenDirectly(S_ISFIFO(target.st_mode));
  }
}

void ReplacingFile::OpenDirectly(bool isFifo) {
  // Not through a link, and not waiting for a pipe's reader.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    noReader_ = isFifo && errno == ENXIO;
    return;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || S_ISREG(opened.st_mode) || S_ISDIR(opened.st_mode) ||
      S_ISFIFO(opened.st_mode) != isFifo) {
    ::close(fd);
    changedUnder_ = true;
    error_ = EBUSY;
    return;
  }
  // Once open, writes may wait for a slow reader as they would on a file.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  stream_ = ::fdopen(fd, "wb");
  if (stream_ == nullptr) {
    error_ = errno;
    ::close(fd);
  }
}

void ReplacingFile::CreateTemporary(bool keepMode, unsigned mode) {
  const std::size_t slash = path_.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
  const std::string base = path_.substr(slash == std::string::npos ? 0 : slash + 1);
  int fd = -1;
  for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
    temporary_ = folder + "." + base.substr(0, kMaxBaseInTemporaryName) + "." + RandomSuffix() + ".tmp";
    fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = errno;
    noFreeName_ = errno == EEXIST;
    temporary_.clear();
    return;
  }
  // A file written over keeps its permissions.
  if (keepMode && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
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
  // Only a file of our own is synced: a device or a pipe has nothing to keep.
  if (written && !temporary_.empty() && ::fsync(::fileno(stream_)) != 0) {
    written = false;
    error_ = errno;
  }
  if (std::fclose(stream_) != 0 && written) {
    written = false;
    error_ = errno;
  }
  stream_ = nullptr;
  if (!written || temporary_.empty()) return written;
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
    error_ = errno;
    return false;
  }
  temporary_.clear();
  const std::size_t slash = path_.rfind('/');
  if (const int error = SyncFolder(slash == std::string::npos ? std::string() : path_.substr(0, slash + 1));
      error != 0) {
    error_ = error;
    return false;
  }
  return true;
}

std::string ReplacingFile::errorText() const {
  if (noFreeName_) return "一時ファイルの名前を決められません（同じ名前のファイルが既にあります）";
  if (changedUnder_) return "書き込み先が書き込みの直前に別のものに変わりました";
  if (noReader_) return "読み手のいない名前付きパイプです";
  if (linkToSpecial_) return "通常のファイルでないものを指すシンボリックリンクです（リンクを通しては書き込みません）";
  return SystemErrorText(error_);
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat target {};
  if (::lstat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return false;
  // The permission bits count for root too, who may write anything.
  return (target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}
