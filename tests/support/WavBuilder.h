// WAVE files made from the format's public description, for the reader's
// tests and the fuzzers' seeds: a RIFF header, a "fmt " chunk (format 1 for
// integer PCM, 3 for IEEE floating point), optionally a chunk of another kind
// before the data, and the "data" chunk of interleaved little-endian frames.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct WavBuilder {
  int channels = 1;
  int rate = 1000;
  int bits = 16;          // 8, 16, 24 or 32 (integer), 32 or 64 (floating)
  bool floating = false;
  bool extraChunk = false;  // a "LIST" chunk of odd length before the data
  // Per frame, per channel: the integer count (PCM, signed; 8-bit is stored
  // offset by 128 as the format wants) or the floating value.
  std::vector<std::vector<double>> frames;

  std::string Bytes() const {
    std::string data;
    for (const std::vector<double>& frame : frames) {
      for (const double value : frame) {
        if (floating && bits == 32) Put(data, static_cast<float>(value));
        else if (floating) Put(data, value);
        else if (bits == 8) data += static_cast<char>(static_cast<int>(value) + 128);
        else Little(data, static_cast<std::uint64_t>(static_cast<std::int64_t>(value)), bits / 8);
      }
    }
    std::string body = "WAVE";
    std::string fmt;
    Little(fmt, floating ? 3 : 1, 2);
    Little(fmt, static_cast<std::uint64_t>(channels), 2);
    Little(fmt, static_cast<std::uint64_t>(rate), 4);
    Little(fmt, static_cast<std::uint64_t>(rate * channels * bits / 8), 4);
    Little(fmt, static_cast<std::uint64_t>(channels * bits / 8), 2);
    Little(fmt, static_cast<std::uint64_t>(bits), 2);
    Chunk(body, "fmt ", fmt);
    if (extraChunk) Chunk(body, "LIST", "INFOabc");
    Chunk(body, "data", data);
    std::string file = "RIFF";
    Little(file, body.size(), 4);
    return file + body;
  }

  static void Little(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  template <typename T>
  static void Put(std::string& out, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof raw);
    out.append(raw, sizeof raw);
  }
  static void Chunk(std::string& out, const char* id, const std::string& content) {
    out += id;
    Little(out, content.size(), 4);
    out += content;
    if (content.size() % 2 == 1) out += '\0';
  }
};
