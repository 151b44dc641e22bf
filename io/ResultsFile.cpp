#include "io/ResultsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "io/FileHandle.h"
#include "io/SystemErrorText.h"

namespace {

constexpr std::chrono::milliseconds kLockPoll{5};
// A file removed or replaced by another writer between our open and our lock
// is opened again; more than a few such races in a row mean something else is
// going on.
constexpr int kReopenAttempts = 8;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask

// Opens the file for appending, creating it when it does not exist; `created`
// tells whether this call created it. -1 with errno on failure.
int OpenForAppend(const std::string& path, bool& created) {
  // Without O_NONBLOCK, a named pipe in the file's place would wait for a
  // reader; it has no effect on regular files.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK;
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    int fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, kNewFileMode);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), kFlags);
    if (fd >= 0) {
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENOENT) return -1;  // ENOENT: removed between the two opens
  }
  return -1;
}

// Takes the exclusive lock, waiting at most `wait` for another holder.
bool LockWithin(int fd, std::chrono::milliseconds wait, int& error) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      error = errno;
      return false;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
}

// Whether `path` still names the open file: another writer may have removed
// an empty file it created while we waited for the lock.
bool StillNamedBy(int fd, const std::string& path) {
  struct stat open {}, named {};
  return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

bool FileSize(int fd, off_t& size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  size = info.st_size;
  return true;
}

// Writes all of `bytes`; false with `error` set when the file takes no more.
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

// Cuts the file back to `size`, taking back a write that got only partly in.
// Should that fail too, there is nothing more to undo.
void TakeBack(int fd, off_t size) {
  if (::ftruncate(fd, size) != 0) return;
}

AppendResult Failure(AppendResult::Status status, int error) {
  return {status, error == EWOULDBLOCK ? std::string(kFileBusyText) : SystemErrorText(error)};
}

}  // namespace

std::string ResultsFilePath(const std::string& startupFolder) {
  return startupFolder + "/" + kResultsFileName;
}

AppendResult AppendLocked(const std::string& path, std::string_view header, const std::vector<std::string>& rows,
                          std::chrono::milliseconds lockWait) {
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    bool created = false;
    FileHandle file(OpenForAppend(path, created));
    if (file.get() < 0) return Failure(AppendResult::Status::CannotOpen, errno);
    int error = 0;
    if (!LockWithin(file.get(), lockWait, error)) {
      return Failure(error == EWOULDBLOCK ? AppendResult::Status::Busy : AppendResult::Status::CannotOpen, error);
    }
    if (!StillNamedBy(file.get(), path)) continue;

    // Under the lock the size is settled: an empty file gets its header.
    off_t sizeBefore = 0;
    if (!FileSize(file.get(), sizeBefore)) return Failure(AppendResult::Status::CannotWrite, errno);
    std::string bytes;
    if (sizeBefore == 0) bytes = header;
    for (const std::string& row : rows) bytes += row;
    if (!WriteAll(file.get(), bytes, error)) {
      // No partial row stays, and no empty file of our own making.
      if (::ftruncate(file.get(), sizeBefore) == 0 && created && sizeBefore == 0) ::unlink(path.c_str());
      return Failure(AppendResult::Status::CannotWrite, error);
    }
    if (!file.Close()) return Failure(AppendResult::Status::CannotWrite, errno);
    return {};
  }
  return Failure(AppendResult::Status::CannotOpen, ENOENT);
}

ResultsFile::CreateStatus ResultsFile::Create(const std::string& path, std::string_view header) {
  errorText_.clear();
  if (fd_ >= 0 && !StillNamedBy(fd_, path)) Close();
  if (fd_ < 0) {
    bool created = false;  // either way the file is emptied below
    FileHandle file(OpenForAppend(path, created));
    if (file.get() < 0) {
      errorText_ = SystemErrorText(errno);
      return CreateStatus::Failed;
    }
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      errorText_ = error == EWOULDBLOCK ? std::string(kFileBusyText) : SystemErrorText(error);
      return error == EWOULDBLOCK ? CreateStatus::Locked : CreateStatus::Failed;
    }
    fd_ = file.Release();
  }
  int error = 0;
  if (::ftruncate(fd_, 0) != 0) {
    error = errno;
  } else if (!WriteAll(fd_, header, error)) {
    // The file holds nothing of ours: leave no empty file behind.
    if (::ftruncate(fd_, 0) == 0 && StillNamedBy(fd_, path)) ::unlink(path.c_str());
  }
  if (error != 0) {
    errorText_ = SystemErrorText(error);
    Close();
    return CreateStatus::Failed;
  }
  return CreateStatus::Created;
}

bool ResultsFile::Append(std::string_view row) {
  if (fd_ < 0) return false;
  off_t sizeBefore = 0;
  int error = 0;
  if (!FileSize(fd_, sizeBefore)) {
    errorText_ = SystemErrorText(errno);
    return false;
  }
  if (!WriteAll(fd_, row, error)) {
    errorText_ = SystemErrorText(error);
    TakeBack(fd_, sizeBefore);
    return false;
  }
  return true;
}

void ResultsFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);  // releases the lock
    fd_ = -1;
  }
}
