// The universal file format reader, data set 58 (a function at a node), as
// modal test systems export their time records: every data set of function
// type 1 (time response) with real, evenly spaced values becomes one channel,
// in ASCII or in the binary form 58b. The rate is the abscissa increment's
// inverse, taken as the simplest rate the printed increment allows (an
// increment printed as 1.95313E-02 is 51.2 /s, not 51.19987); channels must
// share that increment. Data sets of other kinds (units, nodes, spectra,
// frequency responses) are passed over.
#pragma once

#include <string>
#include <string_view>

#include "io/Progress.h"
#include "io/ReadOptions.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate, Dt, Names (ID line 1, or
// options.Names), Units (the ordinate's unit label, or options.Unit) and
// Samples. Channels of different lengths are cut to the shortest, with a
// warning; more than 8 time records load the first 8, with a warning. A
// refused, unreadable or cancelled read leaves `record` as it was.
ReadResult ReadUff(const std::string& path, const ReadOptions& options, WaveData& record,
                   const Progress* progress = nullptr);

// The rate an increment printed as `text` gives: among the rates whose
// increment lies within half a unit of the text's last digit, the one with
// the fewest significant digits. Nothing when the text is no positive number.
std::optional<double> RateFromIncrementText(std::string_view text);
