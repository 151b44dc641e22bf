// A saved piece of work ("作業を保存…"): which record (its path, reader, read
// options and the SHA-256 of the file as it was), the band-pass filter, the
// view, and the accepted results with the evaluations they came from. JSON,
// UTF-8; a path whose bytes are no UTF-8 (a Shift-JIS name) is kept as
// hexadecimal bytes. Opening it reads the record again, so a record that has
// changed since shows as a different SHA-256.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/BandPass.h"
#include "io/ReadOptions.h"
#include "io/WaveData.h"
#include "session/Evaluation.h"
#include "session/View.h"

struct SessionSnapshot {
  std::string RecordPath;  // bytes
  FileKind Kind = FileKind::Csv;
  ReadOptions Options;
  std::string Sha256;
  std::optional<BandEdges> Band;  // the filter on the record
  BandEdges Edges;                // the band-pass setting kept while it is off
  ViewWindow View;
  // An accepted pair of the store and the evaluation it came from (none for a
  // pair stored without one).
  struct StoredPair {
    float F = 0.0f;
    float H = 0.0f;
    std::optional<EvaluationRequest> Source;
  };
  std::vector<StoredPair> Store;
};

// The file's text.
std::string SessionFileText(const SessionSnapshot& snapshot);
// The snapshot a file's text describes; nothing, with the reason in Japanese,
// when it is no session file of this program or is damaged.
std::optional<SessionSnapshot> ParseSessionFile(std::string_view text, std::string& problem);

// The extension session files are offered under.
inline constexpr char kSessionFileExtension[] = ".oscalyx.json";
