#include "io/ResultsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/AppendTransaction.h"
#include "io/FileHandle.h"
#include "io/LockedFile.h"
#include "io/SystemErrorText.h"

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
// A file made again in the place of a deleted one is new: a lock on it is
// either free at once or held by whoever made it first.
constexpr std::chrono::milliseconds kRecreateLockWait{0};

std::string CauseOf(int error, const std::string& refusal) {
  if (!refusal.empty()) return refusal;
  return error == EWOULDBLOCK ? std::string(kFileBusyText) : SystemErrorText(error);
}

}  // namespace

std::string ResultsFilePath(const std::string& startupFolder) {
  return startupFolder + "/" + kResultsFileName;
}

AppendResult AppendLocked(const std::string& path, std::string_view header, const std::vector<std::string>& rows,
                          std::chrono::milliseconds lockWait) {
  AppendTransaction transaction;
  if (AppendResult begun = transaction.Begin({{path, std::string(header), {}}}, lockWait); !begun.ok()) return begun;
  std::string bytes;
  for (const std::string& row : rows) bytes += row;
  if (AppendResult appended = transaction.Append(0, bytes); !appended.ok()) return appended;
  return transaction.Commit();
}

ResultsFile::CreateStatus ResultsFile::Create(const std::string& path, std::string_view header,
                                              std::chrono::milliseconds lockWait) {
  errorText_.clear();
  if (fd_ >= 0 && (path != path_ || !StillNamedBy(fd_, path))) Close();
  if (fd_ < 0) {
    bool created = false;  // either way the file is emptied below
    std::string refusal;
    FileHandle file(OpenRegularForAppend(path, created, refusal));
    if (file.get() < 0) {
      errorText_ = CauseOf(errno, refusal);
      return CreateStatus::Failed;
    }
    int error = 0;
    if (!LockWithin(file.get(), lockWait, error)) {
      errorText_ = CauseOf(error, {});
      return error == EWOULDBLOCK ? CreateStatus::Locked : CreateStatus::Failed;
    }
    fd_ = file.Release();
    path_ = path;
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
  written_ = header;
  return CreateStatus::Created;
}

bool ResultsFile::Append(std::string_view row) {
  lastAppend_ = AppendStatus::Failed;
  if (fd_ < 0) return false;
  if (!StillNamedBy(fd_, path_)) {
    struct stat named {};
    if (::lstat(path_.c_str(), &named) != 0 && errno == ENOENT) return Recreate(row);
    // Someone put another file (or a link, a folder) in its place: that is
    // theirs, and this one is no longer anybody's results file.
    Close();
    errorText_ = "別のファイルに置き換えられました";
    lastAppend_ = AppendStatus::Replaced;
    return false;
  }
  off_t sizeBefore = 0;
  int error = 0;
  if (!FileSize(fd_, sizeBefore)) {
    errorText_ = SystemErrorText(errno);
    return false;
  }
  // A program that ignores the lock may have left a line without its end.
  std::string bytes(MissingLineEnd(fd_, sizeBefore));
  bytes += row;
  if (!WriteAll(fd_, bytes, error)) {
    errorText_ = SystemErrorText(error);
    if (::ftruncate(fd_, sizeBefore) != 0) {
      // Nothing more to undo.
    }
    return false;
  }
  written_ += row;
  lastAppend_ = AppendStatus::Appended;
  return true;
}

bool ResultsFile::Recreate(std::string_view row) {
  ::close(fd_);
  fd_ = -1;
  const int fd = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0 && !LockWithin(fd, kRecreateLockWait, error)) {
    // Someone else made the file first and holds it: it is theirs.
    ::close(fd);
    errorText_ = CauseOf(error, {});
    return false;
  }
  if (fd < 0) {
    errorText_ = SystemErrorText(error);
    return false;
  }
  fd_ = fd;
  std::string bytes = written_;
  bytes += row;
  if (!WriteAll(fd_, bytes, error)) {
    errorText_ = SystemErrorText(error);
    if (::ftruncate(fd_, 0) == 0) ::unlink(path_.c_str());
    Close();
    return false;
  }
  written_ += row;
  lastAppend_ = AppendStatus::Recreated;
  return true;
}

void ResultsFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);  // releases the lock
    fd_ = -1;
  }
}
