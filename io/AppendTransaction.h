// Appends to one or more shared CSV logs as one step: every file is opened and
// locked before anything is written, and a failure anywhere takes back what
// was written to every one of them, so that a command that fails appends
// nothing and its retry repeats no row. The files are locked in the order
// given, each lock waited for at most a fixed time, so two writers that take
// them in different orders give up instead of waiting for each other.
//
// Every rule of AppendLocked holds for each file: the header is decided under
// the lock, a row never follows a last line that lacks its line end, a link
// or anything but a regular file is refused, and no empty file of our own
// making is left behind.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "io/ResultsFile.h"

class AppendTransaction {
 public:
  struct Target {
    std::string Path;
    std::string Header;  // written first when the file is new or empty
    std::string What;    // the file's name in messages ("結果ファイル", "評価記録")
  };

  AppendTransaction() = default;
  // Takes back everything unless Commit succeeded.
  ~AppendTransaction() { Rollback(); }
  AppendTransaction(const AppendTransaction&) = delete;
  AppendTransaction& operator=(const AppendTransaction&) = delete;

  // Opens (creating when needed) and locks every target. Two targets that are
  // one file are refused. On failure nothing is locked or created any more,
  // and the result's cause names the file.
  AppendResult Begin(std::vector<Target> targets, std::chrono::milliseconds lockWait = kLockWait);
  // Appends whole rows to target `index`: its header first when the file was
  // empty, the line end its last line lacks before that. On failure every
  // file is taken back as it was at Begin.
  AppendResult Append(std::size_t index, std::string_view rows);
  // Releases the files; what was appended stays.
  AppendResult Commit();
  // Takes back everything appended and releases the files.
  void Rollback();

 private:
  struct Open {
    Target target;
    int fd = -1;
    bool created = false;
    bool locked = false;
    off_t sizeAtBegin = 0;
    bool started = false;  // the header or the missing line end is written
  };
  AppendResult Failed(AppendResult::Status status, const Open& file, int error, const std::string& refusal = {});

  std::vector<Open> files_;
};
