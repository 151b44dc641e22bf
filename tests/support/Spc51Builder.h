// Builds SPC-51 measurement files byte by byte, for tests and the sample
// generator. Little-endian throughout.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Spc51Channel {
  std::string name;  // blank-padded to 32 bytes (longer names fill the field)
  std::string unit;  // blank-padded to 8 bytes
  float calibration = 1.0f;
  bool padNameWithNul = false;  // pad the name with NUL bytes instead of blanks
};

class Spc51Builder {
 public:
  std::string time = "2026/12/07 10:00:00";
  std::int32_t sampleCount = 0;
  std::int16_t channelCount = 0;  // written as given, even when it disagrees with `channels`
  std::int16_t rate = 100;
  std::vector<Spc51Channel> channels;
  std::vector<std::int16_t> frames;  // interleaved counts, channel 1 first

  std::vector<unsigned char> Bytes() const {
    std::vector<unsigned char> out(512, 0);
    std::memcpy(out.data() + 48, time.data(), time.size() < 20 ? time.size() : 20);
    Put32(out, 112, static_cast<std::uint32_t>(sampleCount));
    Put16(out, 118, static_cast<std::uint16_t>(channelCount));
    Put16(out, 120, static_cast<std::uint16_t>(rate));
    for (const Spc51Channel& channel : channels) {
      std::vector<unsigned char> header(96, 0);
      Field(header, 0, 32, channel.name, channel.padNameWithNul ? '\0' : ' ');
      Field(header, 32, 8, channel.unit, ' ');
      std::uint32_t bits;
      std::memcpy(&bits, &channel.calibration, sizeof bits);
      Put32(header, 48, bits);
      out.insert(out.end(), header.begin(), header.end());
    }
    for (std::int16_t count : frames) {
      const auto u = static_cast<std::uint16_t>(count);
      out.push_back(static_cast<unsigned char>(u & 0xFF));
      out.push_back(static_cast<unsigned char>(u >> 8));
    }
    return out;
  }

 private:
  static void Put16(std::vector<unsigned char>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
  }
  static void Put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
  }
  static void Field(std::vector<unsigned char>& b, std::size_t at, std::size_t size, const std::string& text,
                    char pad) {
    for (std::size_t i = 0; i < size; ++i) {
      b[at + i] = static_cast<unsigned char>(i < text.size() ? text[i] : pad);
    }
  }
};
