// The MATLAB file reader (v5, and v7.3 through HDF5) through matio: one real
// two-dimensional numeric array becomes the record, its columns the channels
// (a row vector is one channel). A MATLAB file holds no sampling rate the
// reader could trust, so the rate is always given; which array is read is
// given too unless the file holds only one that could be a record.
#pragma once

#include <string>
#include <vector>

#include "io/Progress.h"
#include "io/ReadOptions.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate (options.Rate, required), Dt, Names
// (options.Names, else the variable's name, with the column as "(:,k)" when it
// has several), Units (options.Unit) and Samples. options.Variable names the
// array; empty, the file's only real 2-D numeric array of more than one value.
// More than 8 columns load the first 8, with a warning. A refused, unreadable
// or cancelled read leaves `record` as it was.
ReadResult ReadMat(const std::string& path, const ReadOptions& options, WaveData& record,
                   const Progress* progress = nullptr);

// A variable of a MATLAB file as the reader sees it.
struct MatVariable {
  std::string Name;
  std::size_t Rows = 0;
  std::size_t Columns = 0;
  bool Readable = false;   // a real 2-D numeric array of more than one value
  std::string Kind;        // what it is, for messages: "double", "single", "int16", "cell", ...
};

// The file's variables in their order; empty with `error` set when the file
// cannot be read as a MATLAB file.
std::vector<MatVariable> ListMatVariables(const std::string& path, std::string& error);
