// The WAV reader: PCM of 8, 16, 24 or 32 bits and floating-point recordings
// through libsndfile, one channel per recorded channel at the header's rate.
// Samples are libsndfile's normalised values (full scale ±1, floats as they
// are) times the scale the user gives, so a recorder's calibration can make
// them physical. A data chunk shorter than its header says (a copy cut off, a
// recording not finished) is refused rather than read short.
#pragma once

#include <string>

#include "io/Progress.h"
#include "io/ReadOptions.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate, Dt, Names ("ch1", ... or
// options.Names), Units (options.Unit) and Samples (times options.Scale). More
// than 8 channels: the first 8, with a warning. A refused, unreadable or
// cancelled read leaves `record` as it was.
ReadResult ReadWav(const std::string& path, const ReadOptions& options, WaveData& record,
                   const Progress* progress = nullptr);
