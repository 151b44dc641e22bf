#include "image/PngChunks.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kIdatSize = 65535;

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 131 + i / 251) & 0xFF);
  return v;
}

struct SplitCase {
  std::size_t total;
  std::vector<std::size_t> chunks;
};

TEST(IdatSplitterTest, FullBuffersBecomeChunksAndTheRestTheLastOne) {
  const SplitCase cases[] = {
      {0, {}},
      {1, {1}},
      {kIdatSize - 1, {kIdatSize - 1}},
      {kIdatSize, {kIdatSize}},
      {kIdatSize + 1, {kIdatSize, 1}},
      {2 * kIdatSize + 7, {kIdatSize, kIdatSize, 7}},
      {3 * kIdatSize, {kIdatSize, kIdatSize, kIdatSize}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.total);
    const auto data = Pattern(c.total);
    std::vector<std::size_t> sizes;
    std::vector<std::uint8_t> joined;
    png::IdatSplitter splitter(kIdatSize, [&](std::span<const std::uint8_t> payload) {
      sizes.push_back(payload.size());
      joined.insert(joined.end(), payload.begin(), payload.end());
    });
    // Feed in uneven pieces, as a compressor would.
    std::size_t pos = 0, piece = 1;
    while (pos < data.size()) {
      const std::size_t n = std::min(piece, data.size() - pos);
      splitter.Write({data.data() + pos, n});
      pos += n;
      piece = piece * 3 + 17;
    }
    splitter.Finish();
    EXPECT_EQ(sizes, c.chunks);
    EXPECT_EQ(joined, data);
  }
}

TEST(IdatSplitterTest, CommitIntoFreeSpaceHandsOnEachFullBuffer) {
  std::vector<std::vector<std::uint8_t>> chunks;
  png::IdatSplitter splitter(5, [&](std::span<const std::uint8_t> p) { chunks.emplace_back(p.begin(), p.end()); });
  std::uint8_t next = 10;
  for (std::size_t want : {3, 2, 4, 1, 2}) {  // 12 bytes: 5, 5, then 2 left
    auto space = splitter.FreeSpace();
    ASSERT_GE(space.size(), want);
    for (std::size_t i = 0; i < want; ++i) space[i] = next++;
    splitter.Commit(want);
  }
  EXPECT_EQ(chunks.size(), 2u);
  splitter.Finish();
  splitter.Finish();  // nothing left: no empty chunk
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0], (std::vector<std::uint8_t>{10, 11, 12, 13, 14}));
  EXPECT_EQ(chunks[1], (std::vector<std::uint8_t>{15, 16, 17, 18, 19}));
  EXPECT_EQ(chunks[2], (std::vector<std::uint8_t>{20, 21}));
}

TEST(PngCrcTest, MatchesTheStandardCheckValueAndZlib) {
  const std::string check = "123456789";
  EXPECT_EQ(png::Crc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0xCBF43926u);
  EXPECT_EQ(png::Crc32({}), 0u);

  const auto data = Pattern(100003);
  const auto expected = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  EXPECT_EQ(png::Crc32(data), expected);
  // A running sum over two pieces equals the sum over the whole.
  const std::span<const std::uint8_t> all(data);
  EXPECT_EQ(png::Crc32(all.subspan(777), png::Crc32(all.first(777))), expected);
}

TEST(PngChunkTest, ChunkIsLengthTypeDataAndCrcOverTypeAndData) {
  std::vector<std::uint8_t> out;
  png::AppendChunk(out, "IEND", {});
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));

  out.clear();
  const std::vector<std::uint8_t> data = {0x01, 0x02, 0xFE, 0x7F, 0x80};
  png::AppendChunk(out, "IDAT", data);
  ASSERT_EQ(out.size(), 4u + 4u + data.size() + 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 8),
            (std::vector<std::uint8_t>{0, 0, 0, 5, 'I', 'D', 'A', 'T'}));
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 8, out.begin() + 13), data);
  const auto crc = static_cast<std::uint32_t>(crc32(0, out.data() + 4, 4 + static_cast<uInt>(data.size())));
  EXPECT_EQ(std::vector<std::uint8_t>(out.end() - 4, out.end()),
            (std::vector<std::uint8_t>{static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                                       static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)}));
}

}  // namespace
