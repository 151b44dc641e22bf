// PNG writer for the plot pictures: 8-bit RGB truecolour, no interlace, a row
// filter from `Filters` on every row (Sub by default), one zlib stream at
// level 7 (15-bit window, memory level 8, default strategy) fed row by row
// without flushing, IDAT chunks of `MaxIdatSize` bytes plus a remainder, and no
// ancillary chunks: the file is IHDR, IDAT..., IEND.
//
// Failures (nothing assigned, an unusable setting, a file that cannot be
// created or written) come back as a `PngResult` with a message ready to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/RgbImage.h"

enum class TPngFilter : std::uint8_t { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };
enum class TInterlaceMethod { imNone, imAdam7 };

struct PngResult {
  bool ok = true;
  std::string message;  // empty on success
};

// The header chunk with the picture it describes: rows from the top, red,
// green, blue per pixel, no padding.
struct TChunkIHDR {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint8_t BitDepth = 8;
  std::uint8_t ColorType = 2;  // truecolour
  std::uint8_t CompressionMethod = 0;
  std::uint8_t FilterMethod = 0;
  std::vector<std::uint8_t> Pixels;
};

class TPNGObject {
 public:
  // Encoder settings; the program keeps the values set here.
  std::vector<TPngFilter> Filters = {TPngFilter::pfSub};
  int CompressionLevel = 7;
  std::size_t MaxIdatSize = 65535;
  TInterlaceMethod InterlaceMethod = TInterlaceMethod::imNone;

  // Replaces the picture by a copy of `image`.
  void Assign(const RgbImage& image);

  // Writes the whole PNG data stream. The file is created or replaced, under a
  // temporary name renamed into place: a failure leaves no partial file.
  PngResult SaveToFile(const std::string& path) const;
  PngResult SaveToStream(std::ostream& out) const;
  // Appends the data stream to `out`.
  PngResult SaveToStream(std::vector<std::uint8_t>& out) const;

  // The filter type the encoder uses for a row, given the filter set: none for
  // an empty set or {pfNone}, the one filter of a one-element set, and for a
  // larger set the one whose filtered bytes, read as signed, have the smallest
  // sum of magnitudes (first in set order on a tie).
  static TPngFilter ChooseFilter(const std::vector<TPngFilter>& filters,
                                 std::span<const std::uint8_t> row,
                                 std::span<const std::uint8_t> previousRow,
                                 std::vector<std::uint8_t>& scratch);
  // Writes `row` filtered with `filter` to `out` (same length; `previousRow` is
  // all zeros for the top row). Pixels are 3 bytes wide.
  static void FilterRow(TPngFilter filter, std::span<const std::uint8_t> row,
                        std::span<const std::uint8_t> previousRow, std::span<std::uint8_t> out);

 private:
  using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;
  PngResult Check() const;
  PngResult Encode(const ByteSink& sink) const;

  std::optional<TChunkIHDR> header_;
};
