// A colour and a finished picture as rows of RGB pixels: what the plots draw,
// the clipboard receives and the PNG writer encodes.
#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A finished picture handed to the clipboard or a save: rows of RGB pixels.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3 bytes, row by row
  Rgb At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
  }
  friend bool operator==(const RgbImage&, const RgbImage&) = default;
};
