// The SPC-51 measurement file reader (.dbl): a 512-byte little-endian file
// header, one 96-byte header per channel, then frames of one signed 16-bit
// count per channel. Counts become physical values through a per-channel
// factor: the calibration factor for units starting with "g" (gal), a thousand
// times it otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/Progress.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

constexpr int kSpc51HeaderSize = 512;
constexpr int kSpc51ChannelHeaderSize = 96;
constexpr int kSpc51BlockFrames = 2048;

// Fills ChannelCount, SampleCount, Rate, Dt (1 / Rate in single precision),
// Names, Units, Scales, RawCounts and Samples. The file is read into fresh arrays that replace the record's only
// when the read succeeded: a refused, unreadable or cancelled read leaves
// `record` as it was. Progress is reported, and the cancel flag checked, every
// few blocks of frames.
ReadResult ReadSpc51(const std::string& path, WaveData& record, const Progress* progress = nullptr);

// Reads frames from the current position of `fd` in blocks of 2048 frames into
// rawArrays[0 .. channelCount - 1], each allocated here with sampleCount zeros.
// A partial frame at the end of the file is dropped; frames beyond sampleCount
// are not stored. Returns the number of frames stored, or nothing when the
// caller asked it to stop.
std::optional<int> ReadSpc51Counts(int fd, int channelCount, std::vector<std::int16_t>* rawArrays, int sampleCount,
                                   const Progress* progress = nullptr);
