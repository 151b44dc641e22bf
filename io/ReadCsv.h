// The standard CSV waveform reader: four header lines (channel names, sampling
// rate, memo, units) and one line per sample instant. The file is read twice:
// once to count its lines, so that every channel array is allocated once at its
// final size, and once to convert.
#pragma once

#include <string>

#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate, Names, Units and Samples of `record`.
// The file is read into a fresh record that replaces the fields only when the
// read succeeded: a refused or unreadable file leaves `record` as it was.
ReadResult ReadCsv(const std::string& path, WaveData& record);

// The file's last-modification time in local time, "%d/%02d/%02d %02d:%02d:%02d",
// with the seconds in steps of two as the old file-time format holds them.
std::string FileTimeLabel(long long modificationTime);
