// The results file of a batch: rows that survive texts with commas, quotes and
// line breaks, lines that are no rows, and appends that never let a key in
// twice, whoever appends, and never continue a torn row.
#include <gtest/gtest.h>

#include <thread>

#include "io/BatchRows.h"
#include "io/KeyedRowsFile.h"
#include "tests/support/TempDir.h"

namespace {

BatchRow RowWith(const std::string& file, const std::string& channel, const std::string& error = {}) {
  BatchRow row;
  Cell(row, BatchColumn::File) = file;
  Cell(row, BatchColumn::Sha256) = "sha-of-" + file;  // the key is the hash, not the name
  Cell(row, BatchColumn::Channel) = channel;
  Cell(row, BatchColumn::F) = "3.70000005";
  Cell(row, BatchColumn::Settings) = "0123456789ab";
  Cell(row, BatchColumn::Error) = error;
  return row;
}

TEST(BatchRows, TextsRoundTripAndLineBreaksBecomeBlanks) {
  struct Case {
    std::string text;
    std::string read;
  };
  const std::vector<Case> cases = {
      {"plain", "plain"},
      {"a,b", "a,b"},
      {"say \"hi\"", "say \"hi\""},
      {"\"", "\""},
      {"二行の\nメッセージ", "二行の メッセージ"},
      {"cr\r\nlf", "cr  lf"},
      {"", ""},
  };
  for (const Case& c : cases) {
    BatchRow row = RowWith("data/x.csv", "1", c.text);
    Cell(row, BatchColumn::Name) = c.text;
    const std::string line = FormatBatchRow(row);
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << c.text;
    const std::optional<BatchRow> back = ParseBatchRow(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(Cell(*back, BatchColumn::Error), c.read);
    EXPECT_EQ(Cell(*back, BatchColumn::Name), c.read);
    EXPECT_EQ(Cell(*back, BatchColumn::F), "3.70000005");
  }
}

TEST(BatchRows, LinesThatAreNoRowsAreRefused) {
  const std::string good = FormatBatchRow(RowWith("x.csv", "2"));
  const std::string whole = good.substr(0, good.size() - 1);
  for (const std::string& line : {whole + ",extra", whole.substr(0, whole.size() - 10), std::string("\"open,"),
                                  "\"closed\"early" + std::string(kBatchColumns - 1, ',')}) {
    EXPECT_FALSE(ParseBatchRow(line)) << line;
  }
  EXPECT_TRUE(IsBatchHeader(BatchHeaderLine().substr(0, BatchHeaderLine().size() - 1) + "\r"));
  EXPECT_FALSE(IsBatchHeader("file,sha256"));
}

KeyedRows Group(const BatchRow& row) { return {BatchResumeKey(row), FormatBatchRow(row)}; }

std::optional<std::string> KeyOf(std::string_view line) {
  const std::optional<BatchRow> row = ParseBatchRow(line);
  return row ? std::optional<std::string>(BatchResumeKey(*row)) : std::nullopt;
}

TEST(KeyedRowsFile, TwoWritersNeverAddAKeyTwiceAndATornRowIsCut) {
  TempDir dir;
  const std::string path = dir.File("results.csv");
  KeyedRowsFile first(path, BatchHeaderLine(), KeyOf);
  KeyedRowsFile second(path, BatchHeaderLine(), KeyOf);  // as another process would
  ASSERT_TRUE(first.Load().ok());
  ASSERT_TRUE(second.Load().ok());
  int appended = -1;
  ASSERT_TRUE(first.Append({Group(RowWith("a.csv", "1")), Group(RowWith("a.csv", "2"))}, &appended).ok());
  EXPECT_EQ(appended, 2);
  // The second writer learns under the lock what the first wrote.
  ASSERT_TRUE(second.Append({Group(RowWith("a.csv", "2")), Group(RowWith("b.csv", "1"))}, &appended).ok());
  EXPECT_EQ(appended, 1);
  EXPECT_TRUE(second.Has(BatchResumeKey(RowWith("a.csv", "1"))));

  const std::string before = TempDir::Read(path);
  dir.Write("results.csv", before + "a.csv,sha-of-a.csv,3,na");  // a writer killed mid-row
  KeyedRowsFile third(path, BatchHeaderLine(), KeyOf);
  ASSERT_TRUE(third.Load().ok());
  ASSERT_TRUE(third.Append({Group(RowWith("a.csv", "3"))}, &appended).ok());
  EXPECT_EQ(appended, 1);
  EXPECT_EQ(TempDir::Read(path), before + FormatBatchRow(RowWith("a.csv", "3")));
}

TEST(KeyedRowsFile, ThreadsAppendingTheSameKeysWriteEachOnce) {
  TempDir dir;
  const std::string path = dir.File("results.csv");
  KeyedRowsFile file(path, BatchHeaderLine(), KeyOf);
  ASSERT_TRUE(file.Load().ok());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&file] {
      for (int k = 0; k < 50; ++k) EXPECT_TRUE(file.Append({Group(RowWith("r" + std::to_string(k) + ".csv", "1"))}).ok());
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<BatchRow> rows;
  std::string error;
  ASSERT_TRUE(ReadBatchFile(path, rows, error)) << error;
  EXPECT_EQ(rows.size(), 50u);
}

TEST(KeyedRowsFile, AFileOfAnotherShapeIsLeftAlone) {
  TempDir dir;
  const std::string path = dir.Write("other.csv", "日時,ファイル名\r\n1,2\r\n");
  KeyedRowsFile file(path, BatchHeaderLine(), KeyOf);
  EXPECT_FALSE(file.Load().ok());
  EXPECT_FALSE(file.Append({Group(RowWith("a.csv", "1"))}).ok());
  EXPECT_EQ(TempDir::Read(path), "日時,ファイル名\r\n1,2\r\n");
}

}  // namespace
