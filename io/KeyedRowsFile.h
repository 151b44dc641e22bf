// A CSV file of results that many workers append to and that a run can resume:
// every row carries a key, and a group of rows whose key the file already
// holds is not appended again. Writers may be threads of one process and
// several processes at once (a batch run twice, or resumed while another
// runs): each append takes the file's advisory lock (flock), reads what the
// others appended since it last looked, and only then decides what to write,
// so no key ever gets in twice. Rows go in whole, with one write(2) under the
// lock; a last line without its line end (a writer killed in the middle of a
// write) is cut off before the next append, so a resumed run never continues a
// torn row.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "io/ResultsFile.h"

// The rows of one key, complete lines with their line ends.
struct KeyedRows {
  std::string Key;
  std::string Lines;
};

class KeyedRowsFile {
 public:
  // The key of a complete line (given without its line end); nothing for a line
  // that carries none.
  using KeyOf = std::function<std::optional<std::string>(std::string_view line)>;

  // `header` is the first line with its line end; the file is made with it.
  KeyedRowsFile(std::string path, std::string header, KeyOf keyOf,
                std::chrono::milliseconds lockWait = kLockWait);

  // Reads the keys the file holds (a missing file holds none). Refused when the
  // file's first line is not the header: rows of another shape never go in.
  AppendResult Load();
  // Whether the file held `key` when it was last read.
  bool Has(const std::string& key) const;
  // Appends the groups whose key the file does not hold (after reading what
  // others appended), each group whole; `appended` counts the groups that went
  // in. The header goes first into an empty file. On failure nothing of this
  // call stays in the file. Safe to call from several threads.
  AppendResult Append(const std::vector<KeyedRows>& groups, int* appended = nullptr);

 private:
  // Under the lock on `fd`: reads the lines from seen_ to `size` (shrunk when
  // the file ends in a torn line, which is cut off when `repair`).
  bool CatchUp(int fd, off_t& size, bool repair, AppendResult& failure);
  void TakeLine(std::string_view line);

  std::string path_;
  std::string header_;
  KeyOf keyOf_;
  std::chrono::milliseconds lockWait_;
  mutable std::mutex mutex_;
  std::unordered_set<std::string> keys_;
  off_t seen_ = 0;          // bytes of the file read, always at a line boundary
  bool headerSeen_ = false; // the first line has been checked
};
