// The store of a year of monitoring: the rows of batch results files merged
// into one SQLite database, table `evaluations` with the files' columns (numbers
// as numbers, empty cells as NULL), unique on (sha256, channel, start,
// settings) so that merging a file again adds nothing; each file goes in as one
// transaction, whole or not at all. Views: `accepted` (the accepted
// evaluations) and `accepted_per_channel` (per record and channel: how many,
// and the mean, least and greatest f and h). Any SQLite client can query it.
#pragma once

#include <string>
#include <vector>

#include "io/BatchRows.h"

struct MergeOutcome {
  bool Ok = false;
  std::string Error;  // Japanese, when not Ok
  int Rows = 0;       // rows in the file
  int Added = 0;      // of them new to the database
};

// Merges the rows of one results file into the database at `databasePath`
// (made when missing).
MergeOutcome MergeIntoDatabase(const std::string& databasePath, const std::string& resultsPath);

// Whether the file at `path` is an SQLite database (by its first 16 bytes).
bool IsSqliteFile(const std::string& path);

// Every row of the database's `evaluations`, as the results file would hold
// them; false with `error` when it cannot be read.
bool ReadDatabaseRows(const std::string& databasePath, std::vector<BatchRow>& rows, std::string& error);
