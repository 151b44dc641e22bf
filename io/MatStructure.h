// A check of a MATLAB file's structure before matio reads it: matio takes
// the lengths in a version 5 file's tags as they are and allocates by them,
// so a damaged or hostile file could make it ask for gigabytes or read past
// what it allocated. Every data element's length must lie within the element
// around it (the file, a matrix, a compressed element once inflated), and a
// numeric matrix must hold as many values as its dimensions say.
#pragma once

#include <optional>
#include <string>

// Why the file is no version 5 or 7.3 MATLAB file that matio may read (UTF-8),
// or nothing. A v7.3 file's HDF5 part is left to the HDF5 library.
std::optional<std::string> MatFileProblem(const std::string& path);
