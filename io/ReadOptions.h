// How to read a record from an instrument's own format: what the file cannot
// say about itself (the sampling rate of a text file or a MATLAB array, the
// scale of a WAV recording) and what the user wants instead of the detected
// layout. Every field is optional; an empty one means "detect" or "as the file
// says". The standard CSV and SPC-51 readers take none of them.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The cell separator of a plain text file. Blanks: runs of spaces and tabs.
enum class TextDelimiter { Comma, Semicolon, Tab, Blanks };

struct ReadOptions {
  std::optional<TextDelimiter> Delimiter;  // text: detected when empty
  std::optional<char> Decimal;             // text: '.' or ','; detected when empty
  std::optional<int> Skip;                 // text: header lines before the first row; detected when empty
  std::optional<double> Rate;              // text, mat: samples per second
  std::optional<int> TimeColumn;           // text: 1-based column holding the time in seconds
  std::vector<std::string> Names;          // text, wav, uff, mat: channel names instead of the file's
  std::optional<std::string> Unit;         // text, wav, uff, mat: one unit for every channel
  double Scale = 1.0;                      // wav: factor on libsndfile's normalised values
  std::string Variable;                    // mat: the array to read; empty: the only candidate

  bool operator==(const ReadOptions&) const = default;
};
