#include "io/KeyedRowsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/FileHandle.h"
#include "io/LockedFile.h"
#include "io/SystemErrorText.h"

namespace {

constexpr int kReopenAttempts = 8;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
constexpr std::size_t kReadChunk = 1 << 20;

constexpr char kForeignHeaderText[] = "先頭行がこの結果ファイルの見出しではありません（別の形式のファイルです）";

AppendResult Refused(AppendResult::Status status, std::string cause) {
  AppendResult result;
  result.status = status;
  result.cause = std::move(cause);
  return result;
}

AppendResult Failed(AppendResult::Status status, int error) {
  AppendResult result;
  result.status = status;
  result.cause = error == EWOULDBLOCK ? std::string(kFileBusyText) : SystemErrorText(error);
  return result;
}

}  // namespace

KeyedRowsFile::KeyedRowsFile(std::string path, std::string header, KeyOf keyOf, std::chrono::milliseconds lockWait)
    : path_(std::move(path)), header_(std::move(header)), keyOf_(std::move(keyOf)), lockWait_(lockWait) {}

bool KeyedRowsFile::Has(const std::string& key) const {
  const std::lock_guard lock(mutex_);
  return keys_.count(key) > 0;
}

void KeyedRowsFile::TakeLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (std::optional<std::string> key = keyOf_(line)) keys_.insert(std::move(*key));
}

bool KeyedRowsFile::CatchUp(int fd, off_t& size, bool repair, AppendResult& failure) {
  if (size < seen_) {
    // Emptied or replaced under us: what we knew of it is gone.
    keys_.clear();
    seen_ = 0;
    headerSeen_ = false;
  }
  std::string pending;  // a line not finished in the chunk read so far
  std::string chunk(kReadChunk, '\0');
  for (off_t at = seen_; at < size;) {
    const auto want = static_cast<std::size_t>(std::min<off_t>(size - at, static_cast<off_t>(kReadChunk)));
    const ssize_t got = ::pread(fd, chunk.data(), want, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      failure = Failed(AppendResult::Status::CannotOpen, got < 0 ? errno : EIO);
      return false;
    }
    at += got;
    std::string_view piece(chunk.data(), static_cast<std::size_t>(got));
    for (std::size_t end = piece.find('\n'); end != std::string_view::npos; end = piece.find('\n')) {
      pending.append(piece.substr(0, end));
      if (!headerSeen_) {
        std::string_view expected(header_);
        while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r')) expected.remove_suffix(1);
        std::string_view first(pending);
        if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
        if (first != expected) {
          failure = Refused(AppendResult::Status::CannotWrite, kForeignHeaderText);
          return false;
        }
        headerSeen_ = true;
      } else {
        TakeLine(pending);
      }
      pending.clear();
      piece.remove_prefix(end + 1);
    }
    pending.append(piece);
  }
  if (!pending.empty()) {
    // A row a killed writer left without its line end: never a row of ours.
    const off_t whole = size - static_cast<off_t>(pending.size());
    if (repair && ::ftruncate(fd, whole) != 0) {
      failure = Failed(AppendResult::Status::CannotWrite, errno);
      return false;
    }
    size = whole;
  }
  seen_ = size;
  return true;
}

AppendResult KeyedRowsFile::Load() {
  const std::lock_guard lock(mutex_);
  // O_NOFOLLOW: a link in the file's place is refused, never read or
  // appended through.
  FileHandle file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (file.get() < 0) {
    if (errno == ENOENT) return {};
    return Failed(AppendResult::Status::CannotOpen, errno);
  }
  int error = 0;
  if (!LockWithin(file.get(), lockWait_, error, LOCK_SH)) {
    return Failed(error == EWOULDBLOCK ? AppendResult::Status::Busy : AppendResult::Status::CannotOpen, error);
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return Failed(AppendResult::Status::CannotOpen, errno);
  if (!S_ISREG(info.st_mode)) return Refused(AppendResult::Status::CannotOpen, SystemErrorText(EISDIR));
  off_t size = info.st_size;
  AppendResult failure;
  if (!CatchUp(file.get(), size, false, failure)) return failure;
  return {};
}

AppendResult KeyedRowsFile::Append(const std::vector<KeyedRows>& groups, int* appended) {
  if (appended != nullptr) *appended = 0;
  const std::lock_guard lock(mutex_);
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    int fd = ::open(path_.c_str(), kFlags | O_CREAT | O_EXCL, kNewFileMode);
    const bool created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path_.c_str(), kFlags);
    if (fd < 0) {
      if (errno == ENOENT) continue;  // removed between the two opens
      return Failed(AppendResult::Status::CannotOpen, errno);
    }
    FileHandle file(fd);
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int error = 0;
    if (!LockWithin(fd, lockWait_, error, LOCK_EX)) {
      return Failed(error == EWOULDBLOCK ? AppendResult::Status::Busy : AppendResult::Status::CannotOpen, error);
    }
    if (!StillNamedBy(fd, path_)) continue;
    struct stat info {};
    if (::fstat(fd, &info) != 0) return Failed(AppendResult::Status::CannotWrite, errno);
    if (!S_ISREG(info.st_mode)) return Refused(AppendResult::Status::CannotOpen, SystemErrorText(EISDIR));
    off_t size = info.st_size;
    AppendResult failure;
    if (!CatchUp(fd, size, true, failure)) return failure;

    std::string bytes = size == 0 ? header_ : std::string();
    std::vector<const std::string*> added;
    std::unordered_set<std::string> addedKeys;
    for (const KeyedRows& group : groups) {
      if (keys_.count(group.Key) > 0 || !addedKeys.insert(group.Key).second) continue;
      bytes += group.Lines;
      added.push_back(&group.Key);
    }
    if (added.empty() && size > 0) return {};
    if (!WriteAll(fd, bytes, error)) {
      // Nothing of this call stays, and no empty file of our own making.
      if (::ftruncate(fd, size) == 0 && created && size == 0) ::unlink(path_.c_str());
      return Failed(AppendResult::Status::CannotWrite, error);
    }
    if (!file.Close()) return Failed(AppendResult::Status::CannotWrite, errno);
    if (size == 0) headerSeen_ = true;
    seen_ = size + static_cast<off_t>(bytes.size());
    for (const std::string* key : added) keys_.insert(*key);
    if (appended != nullptr) *appended = static_cast<int>(added.size());
    return {};
  }
  return Failed(AppendResult::Status::CannotOpen, ENOENT);
}
