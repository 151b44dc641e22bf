#include "io/AppendTransaction.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/LockedFile.h"
#include "io/SystemErrorText.h"

namespace {

// A file removed or replaced by another writer between our open and our lock
// is opened again; more than a few such races in a row mean something else
// is going on.
constexpr int kReopenAttempts = 8;

bool SameFile(int a, int b) {
  struct stat first {}, second {};
  return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace

AppendResult AppendTransaction::Failed(AppendResult::Status status, const Open& file, int error,
                                       const std::string& refusal) {
  AppendResult result;
  result.status = status;
  result.path = file.target.Path;
  result.what = file.target.What;
  result.cause = !refusal.empty() ? refusal : error == EWOULDBLOCK ? std::string(kFileBusyText) : SystemErrorText(error);
  Rollback();
  return result;
}

AppendResult AppendTransaction::Begin(std::vector<Target> targets, std::chrono::milliseconds lockWait) {
  Rollback();
  for (Target& target : targets) {
    files_.push_back(Open{std::move(target)});
    Open& file = files_.back();
    bool locked = false;
    for (int attempt = 0; attempt < kReopenAttempts && !locked; ++attempt) {
      if (file.fd >= 0) ::close(file.fd);
      std::string refusal;
      file.fd = OpenRegularForAppend(file.target.Path, file.created, refusal);
      if (file.fd < 0) return Failed(AppendResult::Status::CannotOpen, file, errno, refusal);
      // Before its lock, which our own earlier descriptor would hold.
      for (std::size_t i = 0; i + 1 < files_.size(); ++i) {
        if (SameFile(files_[i].fd, file.fd)) {
          return Failed(AppendResult::Status::CannotOpen, file, 0,
                        "「" + files_[i].target.Path + "」と同じファイルです（同じファイルに両方は書き込めません）");
        }
      }
      int error = 0;
      if (!LockWithin(file.fd, lockWait, error)) {
        return Failed(error == EWOULDBLOCK ? AppendResult::Status::Busy : AppendResult::Status::CannotOpen, file,
                      error);
      }
      // Another writer may have removed an empty file it created while we
      // waited for the lock.
      locked = StillNamedBy(file.fd, file.target.Path);
    }
    if (!locked) return Failed(AppendResult::Status::CannotOpen, file, ENOENT);
    file.locked = true;
    // Under the lock the size is settled.
    if (!FileSize(file.fd, file.sizeAtBegin)) return Failed(AppendResult::Status::CannotWrite, file, errno);
  }
  return {};
}

AppendResult AppendTransaction::Append(std::size_t index, std::string_view rows) {
  Open& file = files_.at(index);
  std::string bytes;
  if (!file.started) {
    bytes = file.sizeAtBegin == 0 ? std::string_view(file.target.Header) : MissingLineEnd(file.fd, file.sizeAtBegin);
  }
  bytes += rows;
  file.started = true;  // from here on, a failure has something to take back
  int error = 0;
  if (!WriteAll(file.fd, bytes, error)) return Failed(AppendResult::Status::CannotWrite, file, error);
  return {};
}

AppendResult AppendTransaction::Commit() {
  AppendResult result;
  for (Open& file : files_) {
    // close reports a write that failed late (on a network file system);
    // what the other files got stays, as there is no taking back after this.
    if (::close(file.fd) != 0 && result.ok()) {
      result.status = AppendResult::Status::CannotWrite;
      result.path = file.target.Path;
      result.what = file.target.What;
      result.cause = SystemErrorText(errno);
    }
  }
  files_.clear();
  return result;
}

void AppendTransaction::Rollback() {
  for (Open& file : files_) {
    if (file.fd < 0) continue;
    // No partial row stays, and no empty file of our own making; only a file
    // we hold the lock of is ours to cut back.
    if (file.locked && (file.started || file.created)) {
      struct stat info {};
      const bool grew = ::fstat(file.fd, &info) == 0 && info.st_size != file.sizeAtBegin;
      if ((!grew || ::ftruncate(file.fd, file.sizeAtBegin) == 0) && file.created && file.sizeAtBegin == 0 &&
          StillNamedBy(file.fd, file.target.Path)) {
        ::unlink(file.target.Path.c_str());
      }
    }
    ::close(file.fd);  // releases the lock
  }
  files_.clear();
}
