// The record files a batch works through: every file under a folder, at any
// depth, whose extension one of the readers knows, and every file named on the
// command line as it is. Sorted by path, so runs over one tree see the same
// order, whatever order the file system lists it in.
#pragma once

#include <string>
#include <vector>

// Whether a file name has an extension a reader knows (any letter case).
bool IsRecordFileName(const std::string& path);

struct RecordFileList {
  std::vector<std::string> Paths;     // folders' records sorted, each argument's in the order given
  std::vector<std::string> Problems;  // folders that could not be read (Japanese)
};

// `arguments`: folders (searched recursively; hidden entries and links to
// folders are passed over, so a link cannot make the walk go round) and files
// (taken as they are, whatever their extension, even when they do not exist:
// the batch then records that they cannot be read).
RecordFileList FindRecordFiles(const std::vector<std::string>& arguments);
