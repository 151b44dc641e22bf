#include "io/RecordPreview.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "io/CellNumbers.h"
#include "io/FileHandle.h"
#include "io/ReadRecordFile.h"
#include "io/ReadText.h"

namespace {

// How much of a text file's start the preview reads.
constexpr std::size_t kTextHead = 256 * 1024;

}  // namespace

RecordPreview PreviewRecordFile(const std::string& path, FileKind kind, const ReadOptions& options, int rows,
                                int lines) {
  RecordPreview preview;
  ReadOptions reading = options;
  const bool needsRate = kind == FileKind::Text ? !options.Rate && !options.TimeColumn : kind == FileKind::Mat && !options.Rate;
  if (needsRate) reading.Rate = 1.0;
  WaveData record;
  ReadResult result;
  if (kind == FileKind::Text || kind == FileKind::Csv || kind == FileKind::Uff) {
    // The first lines of a file that is text.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
      preview.Message = kCannotOpenMessage;
      return preview;
    }
    std::string head(kTextHead + kCellOverread, '\0');
    const ssize_t got = ::pread(file.get(), head.data(), kTextHead, 0);
    const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
    std::string_view text(head.data(), size);
    for (std::size_t at = 0; at < text.size() && static_cast<int>(preview.Lines.size()) < lines;) {
      const std::size_t feed = std::min(text.find('\n', at), text.size());
      std::string line(text.substr(at, feed - at));
      if (!line.empty() && line.back() == '\r') line.pop_back();
      preview.Lines.push_back(std::move(line));
      at = feed + 1;
    }
    if (kind == FileKind::Text) {
      const bool whole = size < kTextHead;
      preview.Layout = DetectTextLayout(text, whole, options).Layout;
      result = ParseText(text, whole, reading, record);
      if (whole && result.ok()) preview.Samples = record.SampleCount;
    }
  }
  if (kind == FileKind::Mat) {
    std::string error;
    preview.Variables = ListMatVariables(path, error);
  }
  if (kind != FileKind::Text) {
    result = ReadRecordFile(path, kind, reading, record);
    if (result.ok()) preview.Samples = record.SampleCount;
  }
  if (!result.ok()) {
    preview.Message = result.message;
    return preview;
  }
  preview.Warnings = result.warnings;
  preview.Rate = needsRate ? 0.0 : record.Rate;
  for (int k = 0; k < record.ChannelCount; ++k) preview.Names.emplace_back(SlotText(record.Names[static_cast<std::size_t>(k)]));
  const int shown = std::min(rows, record.SampleCount);
  for (int i = 0; i < shown; ++i) {
    std::vector<float> row;
    for (int k = 0; k < record.ChannelCount; ++k) row.push_back(record.Samples[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)]);
    preview.Rows.push_back(std::move(row));
  }
  return preview;
}
