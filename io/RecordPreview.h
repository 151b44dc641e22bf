// What a file of another instrument would give before it is loaded, for the
// window's dialog that sets how to read it: the first lines of a text file,
// the layout found in it, the variables of a MATLAB file, and the first rows
// the reader makes of the file with the options as they stand. A text file is
// previewed from its start only; the other kinds are read whole.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "io/ReadMat.h"
#include "io/ReadOptions.h"
#include "io/TextLayout.h"
#include "io/WaveData.h"

struct RecordPreview {
  std::vector<std::string> Lines;     // a text file's first lines, as its bytes (no line ends)
  std::optional<TextLayout> Layout;   // a text file's layout as found (or as given)
  std::vector<MatVariable> Variables; // a MATLAB file's variables
  std::vector<std::string> Names;     // the channels' names
  std::vector<std::vector<float>> Rows;  // the first rows, one value per channel
  double Rate = 0.0;                  // 0 where the options give none yet
  long long Samples = -1;             // the record's samples; -1 when only the start was read
  std::vector<std::string> Warnings;
  std::string Message;                // why the file cannot be read with these options (UTF-8)
};

// The preview of `path` read as `kind` with `options`, with at most `rows`
// rows and `lines` lines. A text file or MATLAB file without a rate yet is
// previewed at 1 /s (Rate stays 0), so that the rows show before the rate is
// typed in.
RecordPreview PreviewRecordFile(const std::string& path, FileKind kind, const ReadOptions& options, int rows = 10,
                                int lines = 15);
