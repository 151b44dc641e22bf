// PNG container pieces that need no compressor: the CRC-32 of a chunk, the
// framing of a chunk (length, type, data, CRC) and the splitter that cuts the
// compressed image data into IDAT chunks of a fixed largest size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace png {

// The 8 bytes every PNG data stream starts with.
inline constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// CRC-32 with the reflected polynomial 0xEDB88320, register preset to all ones
// and complemented at the end. Pass a previous result as `crc` to continue a
// running sum over several pieces. The 256-entry table is built on first use.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// The CRC a chunk carries: over the 4-letter type followed by the data.
std::uint32_t ChunkCrc(std::string_view type, std::span<const std::uint8_t> data);

void AppendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value);

// Appends one whole chunk: data length (big-endian), type, data, CRC (big-endian).
void AppendChunk(std::vector<std::uint8_t>& out, std::string_view type,
                 std::span<const std::uint8_t> data);

// Collects compressed bytes in a buffer of `maxChunkSize` bytes and hands the
// buffer on as one chunk payload each time it is full, so every chunk but the
// last carries exactly `maxChunkSize` bytes. `Finish` hands on what is left,
// and nothing when the buffer is empty: data of exactly n full buffers gives n
// chunks and no empty one after them.
//
// A compressor writes straight into `FreeSpace()` and reports how much it
// wrote with `Commit`; `Write` does the same for bytes that already exist.
class IdatSplitter {
 public:
  using ChunkSink = std::function<void(std::span<const std::uint8_t> payload)>;

  IdatSplitter(std::size_t maxChunkSize, ChunkSink sink);

  std::span<std::uint8_t> FreeSpace();
  void Commit(std::size_t count);  // count <= FreeSpace().size()
  void Write(std::span<const std::uint8_t> bytes);
  void Finish();

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  ChunkSink sink_;
};

}  // namespace png
