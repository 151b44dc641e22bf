#include "image/PngChunks.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <utility>

namespace png {
namespace {

constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;

const std::array<std::uint32_t, 256>& CrcTable() {
  // Built once, on the first CRC asked for.
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? (kCrcPolynomial ^ (c >> 1)) : (c >> 1);
      t[n] = c;
    }
    return t;
  }();
  return table;
}

std::span<const std::uint8_t> TypeBytes(std::string_view type) {
  assert(type.size() == 4);
  return {reinterpret_cast<const std::uint8_t*>(type.data()), type.size()};
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
  const auto& table = CrcTable();
  std::uint32_t c = ~crc;
  for (const std::uint8_t b : bytes) c = table[(c ^ b) & 0xFFu] ^ (c >> 8);
  return ~c;
}

std::uint32_t ChunkCrc(std::string_view type, std::span<const std::uint8_t> data) {
  return Crc32(data, Crc32(TypeBytes(type)));
}

void AppendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void AppendChunk(std::vector<std::uint8_t>& out, std::string_view type,
                 std::span<const std::uint8_t> data) {
  AppendBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const auto typeBytes = TypeBytes(type);
  out.insert(out.end(), typeBytes.begin(), typeBytes.end());
  out.insert(out.end(), data.begin(), data.end());
  AppendBigEndian32(out, ChunkCrc(type, data));
}

IdatSplitter::IdatSplitter(std::size_t maxChunkSize, ChunkSink sink)
    : buffer_(maxChunkSize), sink_(std::move(sink)) {
  assert(maxChunkSize > 0);
}

std::span<std::uint8_t> IdatSplitter::FreeSpace() {
  return {buffer_.data() + used_, buffer_.size() - used_};
}

void IdatSplitter::Commit(std::size_t count) {
  assert(count <= buffer_.size() - used_);
  used_ += count;
  if (used_ == buffer_.size()) {
    sink_({buffer_.data(), used_});
    used_ = 0;
  }
}

void IdatSplitter::Write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const auto space = FreeSpace();
    const std::size_t n = std::min(space.size(), bytes.size());
    std::copy_n(bytes.begin(), n, space.begin());
    bytes = bytes.subspan(n);
    Commit(n);
  }
}

void IdatSplitter::Finish() {
  if (used_ > 0) {
    sink_({buffer_.data(), used_});
    used_ = 0;
  }
}

}  // namespace png
