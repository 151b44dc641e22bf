#include "io/ResultsDatabase.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "io/SystemErrorText.h"

namespace {

// How long a merge waits for another process's transaction on the database.
constexpr int kBusyTimeoutMs = 30000;

// SQL type of each column; the names are the results file's.
const char* ColumnType(BatchColumn column) {
  switch (column) {
    case BatchColumn::Channel:
    case BatchColumn::Onset:
    case BatchColumn::Start:
    case BatchColumn::End:
    case BatchColumn::Accepted:
      return "INTEGER";
    case BatchColumn::Peak:
    case BatchColumn::F:
    case BatchColumn::H:
    case BatchColumn::FLow:
    case BatchColumn::FHigh:
    case BatchColumn::HLow:
    case BatchColumn::HHigh:
    case BatchColumn::Ratio:
      return "REAL";
    default:
      return "TEXT";
  }
}

std::string QuotedName(BatchColumn column) { return "\"" + std::string(BatchColumnName(column)) + "\""; }

std::string Schema() {
  std::string sql = "CREATE TABLE IF NOT EXISTS evaluations (";
  for (std::size_t c = 0; c < kBatchColumns; ++c) {
    const auto column = static_cast<BatchColumn>(c);
    sql += (c > 0 ? ", " : "") + QuotedName(column) + " " + ColumnType(column);
    if (column == BatchColumn::File || column == BatchColumn::Settings) sql += " NOT NULL";
  }
  sql += ");\n";
  // A record that could not be read has no SHA-256 and no channel or start:
  // its path stands in, so that it too goes in once.
  sql +=
      "CREATE UNIQUE INDEX IF NOT EXISTS evaluations_key ON evaluations("
      "IFNULL(sha256, 'file:' || file), IFNULL(channel, 0), IFNULL(start, -1), settings);\n"
      "CREATE INDEX IF NOT EXISTS evaluations_time ON evaluations(time);\n"
      "CREATE VIEW IF NOT EXISTS accepted AS SELECT file, sha256, channel, name, time, onset, start, \"end\", peak, "
      "f, h, f_lo, f_hi, h_lo, h_hi, ratio, flags, settings FROM evaluations WHERE accepted = 1;\n"
      "CREATE VIEW IF NOT EXISTS accepted_per_channel AS SELECT file, sha256, channel, name, settings, "
      "MIN(time) AS time, COUNT(*) AS n, AVG(f) AS f_mean, MIN(f) AS f_min, MAX(f) AS f_max, "
      "AVG(h) AS h_mean, MIN(h) AS h_min, MAX(h) AS h_max FROM evaluations WHERE accepted = 1 "
      "GROUP BY sha256, file, channel, settings;\n";
  return sql;
}

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

std::string DatabaseError(sqlite3* db, const std::string& what) {
  return what + "（" + (db != nullptr ? sqlite3_errmsg(db) : "SQLite") + "）";
}

bool Execute(sqlite3* db, const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = std::string("データベースの操作に失敗しました（") + (message != nullptr ? message : "") + "）";
  sqlite3_free(message);
  return false;
}

}  // namespace

bool IsSqliteFile(const std::string& path) {
  static constexpr char kMagic[] = "SQLite format 3";  // with its NUL: 16 bytes
  char head[sizeof kMagic] = {};
  std::ifstream in(path, std::ios::binary);
  return in.read(head, sizeof head) && std::memcmp(head, kMagic, sizeof kMagic) == 0;
}

MergeOutcome MergeIntoDatabase(const std::string& databasePath, const std::string& resultsPath) {
  MergeOutcome outcome;
  std::vector<BatchRow> rows;
  if (!ReadBatchFile(resultsPath, rows, outcome.Error)) return outcome;
  outcome.Rows = static_cast<int>(rows.size());

  // Never written through a link, and only into a regular file: SQLite's
  // no-follow flag refuses a link in the database's place.
  struct stat named {};
  if (::lstat(databasePath.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
    const std::string why = S_ISLNK(named.st_mode)  ? SystemErrorText(ELOOP)
                            : S_ISDIR(named.st_mode) ? SystemErrorText(EISDIR)
                                                     : std::string("通常のファイルではありません");
    outcome.Error = "データベース「" + databasePath + "」を開けません：" + why + "。";
    return outcome;
  }
  sqlite3* opened = nullptr;
  const int status = sqlite3_open_v2(databasePath.c_str(), &opened,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
  Database db(opened);
  if (status != SQLITE_OK) {
    outcome.Error = DatabaseError(db.get(), "データベース「" + databasePath + "」を開けません");
    return outcome;
  }
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  if (!Execute(db.get(), "BEGIN IMMEDIATE;", outcome.Error)) return outcome;
  // From here on, any failure rolls the whole file back.
  const auto fail = [&](std::string message) {
    std::string ignored;
    Execute(db.get(), "ROLLBACK;", ignored);
    outcome.Error = std::move(message);
    outcome.Added = 0;
    return outcome;
  };
  std::string error;
  if (!Execute(db.get(), Schema(), error)) return fail(error);

  std::string insert = "INSERT OR IGNORE INTO evaluations (";
  std::string values;
  for (std::size_t c = 0; c < kBatchColumns; ++c) {
    insert += (c > 0 ? ", " : "") + QuotedName(static_cast<BatchColumn>(c));
    values += c > 0 ? ", ?" : "?";
  }
  insert += ") VALUES (" + values + ");";
  sqlite3_stmt* prepared = nullptr;
  if (sqlite3_prepare_v2(db.get(), insert.c_str(), -1, &prepared, nullptr) != SQLITE_OK) {
    return fail(DatabaseError(db.get(), "データベースに書き込めません"));
  }
  Statement statement(prepared);
  for (const BatchRow& row : rows) {
    for (std::size_t c = 0; c < kBatchColumns; ++c) {
      const int index = static_cast<int>(c) + 1;
      // The column's type turns a number's text into the number.
      if (row[c].empty()) sqlite3_bind_null(statement.get(), index);
      else sqlite3_bind_text(statement.get(), index, row[c].data(), static_cast<int>(row[c].size()), SQLITE_TRANSIENT);
    }
    if (sqlite3_step(statement.get()) != SQLITE_DONE) {
      return fail(DatabaseError(db.get(), "データベースに書き込めません"));
    }
    outcome.Added += sqlite3_changes(db.get());
    sqlite3_reset(statement.get());
  }
  statement.reset();
  if (!Execute(db.get(), "COMMIT;", error)) return fail(error);
  outcome.Ok = true;
  return outcome;
}

bool ReadDatabaseRows(const std::string& databasePath, std::vector<BatchRow>& rows, std::string& error) {
  sqlite3* opened = nullptr;
  const int status = sqlite3_open_v2(databasePath.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
  Database db(opened);
  if (status != SQLITE_OK) {
    error = DatabaseError(db.get(), "データベース「" + databasePath + "」を開けません");
    return false;
  }
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  std::string select = "SELECT ";
  for (std::size_t c = 0; c < kBatchColumns; ++c) {
    select += (c > 0 ? ", " : "") + QuotedName(static_cast<BatchColumn>(c));
  }
  select += " FROM evaluations ORDER BY time, file, channel, start;";
  sqlite3_stmt* prepared = nullptr;
  if (sqlite3_prepare_v2(db.get(), select.c_str(), -1, &prepared, nullptr) != SQLITE_OK) {
    error = DatabaseError(db.get(), "データベース「" + databasePath + "」は merge で作ったものではありません");
    return false;
  }
  Statement statement(prepared);
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    BatchRow row;
    for (std::size_t c = 0; c < kBatchColumns; ++c) {
      const unsigned char* text = sqlite3_column_text(statement.get(), static_cast<int>(c));
      if (text != nullptr) row[c] = reinterpret_cast<const char*>(text);
    }
    rows.push_back(std::move(row));
  }
  if (step != SQLITE_DONE) {
    error = DatabaseError(db.get(), "データベース「" + databasePath + "」を読めません");
    return false;
  }
  return true;
}
