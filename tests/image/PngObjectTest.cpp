#include "image/PngObject.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <QByteArray>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/FileSizeLimit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
  std::string type;
  Bytes data;
};

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Splits a PNG data stream into chunks, checking the signature and every CRC
// with zlib's own CRC routine.
std::vector<Chunk> ParseChunks(const Bytes& png) {
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_GE(png.size(), 8u);
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), signature);
  std::vector<Chunk> chunks;
  std::size_t pos = 8;
  while (pos + 12 <= png.size()) {
    const std::uint32_t length = BigEndian32(&png[pos]);
    EXPECT_LE(pos + 12 + length, png.size());
    if (pos + 12 + length > png.size()) break;
    Chunk c{std::string(png.begin() + pos + 4, png.begin() + pos + 8),
            Bytes(png.begin() + pos + 8, png.begin() + pos + 8 + length)};
    const auto crc = static_cast<std::uint32_t>(crc32(0, &png[pos + 4], 4 + length));
    EXPECT_EQ(BigEndian32(&png[pos + 8 + length]), crc) << "chunk " << c.type;
    chunks.push_back(std::move(c));
    pos += 12 + length;
  }
  EXPECT_EQ(pos, png.size());
  return chunks;
}

Bytes JoinedIdat(const std::vector<Chunk>& chunks) {
  Bytes z;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
  return z;
}

Bytes Inflate(const Bytes& z, std::size_t expectedSize) {
  Bytes out(expectedSize + 1);  // one spare byte shows extra data
  uLongf size = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(out.data(), &size, z.data(), static_cast<uLong>(z.size())), Z_OK);
  out.resize(size);
  return out;
}

// A picture like the waveform view: light background, grid lines, a trace.
RgbImage ViewLikePicture(int width, int height) {
  RgbImage img{width, height, Bytes(static_cast<std::size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &img.pixels[(static_cast<std::size_t>(y) * width + x) * 3];
      p[0] = 211, p[1] = 237, p[2] = 252;
      if (x % 120 == 80 || y % 50 == 25) p[0] = 0, p[1] = 0, p[2] = 0;
    }
  for (int x = 0; x < width; ++x) {
    const int y = height / 2 + static_cast<int>(0.37 * height * std::sin(x * 0.071) * std::exp(-x * 0.003));
    for (int t = 0; t < 2; ++t) {
      std::uint8_t* p = &img.pixels[(static_cast<std::size_t>(y + t) * width + x) * 3];
      p[0] = 255, p[1] = 0, p[2] = 0;
    }
  }
  return img;
}

RgbImage NoisePicture(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  RgbImage img{width, height, Bytes(static_cast<std::size_t>(width) * height * 3)};
  for (auto& b : img.pixels) b = static_cast<std::uint8_t>(rng());
  return img;
}

Bytes Encode(const RgbImage& image, std::vector<TPngFilter> filters = {TPngFilter::pfSub}) {
  TPNGObject png;
  png.Filters = std::move(filters);
  png.Assign(image);
  Bytes out;
  const PngResult r = png.SaveToStream(out);
  EXPECT_TRUE(r.ok) << r.message;
  return out;
}

void ExpectQtReadsSamePixels(const Bytes& png, const RgbImage& source) {
  QImage decoded;
  ASSERT_TRUE(decoded.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
  ASSERT_EQ(decoded.width(), source.width);
  ASSERT_EQ(decoded.height(), source.height);
  decoded = decoded.convertToFormat(QImage::Format_RGB888);
  int mismatches = 0;
  for (int y = 0; y < source.height; ++y) {
    const uchar* row = decoded.constScanLine(y);
    for (int x = 0; x < source.width; ++x) {
      const Rgb want = source.At(x, y);
      const Rgb got{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
      if (!(got == want) && ++mismatches <= 5) ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(PngObjectTest, SignatureHeaderAndChunkOrder) {
  const Bytes png = Encode(ViewLikePicture(300, 300));
  const auto chunks = ParseChunks(png);
  ASSERT_GE(chunks.size(), 3u);
  EXPECT_EQ(chunks.front().type, "IHDR");
  EXPECT_EQ(chunks.front().data, (Bytes{0, 0, 0x01, 0x2C, 0, 0, 0x01, 0x2C, 8, 2, 0, 0, 0}));
  for (std::size_t i = 1; i + 1 < chunks.size(); ++i) EXPECT_EQ(chunks[i].type, "IDAT");
  EXPECT_EQ(chunks.back().type, "IEND");
  EXPECT_EQ(Bytes(png.end() - 12, png.end()), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
}

TEST(PngObjectTest, EveryRowIsSubFilteredFromTheTopRowDown) {
  const RgbImage img = ViewLikePicture(300, 300);
  const auto raw = Inflate(JoinedIdat(ParseChunks(Encode(img))), 300 * 901);
  ASSERT_EQ(raw.size(), 300u * 901u);
  for (int y = 0; y < 300; ++y) {
    const std::uint8_t* row = &raw[static_cast<std::size_t>(y) * 901];
    ASSERT_EQ(row[0], 1) << "row " << y;
    // Undo the Sub filter and compare with the source row.
    std::uint8_t prev[3] = {0, 0, 0};
    for (int i = 0; i < 900; ++i) {
      const auto value = static_cast<std::uint8_t>(row[1 + i] + prev[i % 3]);
      ASSERT_EQ(value, img.pixels[static_cast<std::size_t>(y) * 900 + i]) << "row " << y << " byte " << i;
      prev[i % 3] = value;
    }
  }
}

TEST(PngObjectTest, WhitePictureKeepsTheFirstPixelAndZerosTheRest) {
  RgbImage white{7, 4, Bytes(7 * 4 * 3, 255)};
  const auto raw = Inflate(JoinedIdat(ParseChunks(Encode(white))), 4 * 22);
  Bytes row(22, 0);
  row[0] = 1, row[1] = 255, row[2] = 255, row[3] = 255;
  ASSERT_EQ(raw.size(), 4u * 22u);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(Bytes(raw.begin() + y * 22, raw.begin() + (y + 1) * 22), row);
}

TEST(PngObjectTest, ZlibStreamIsLevel7Window15MemLevel8DefaultStrategy) {
  const RgbImage img = ViewLikePicture(753, 401);
  const Bytes z = JoinedIdat(ParseChunks(Encode(img)));
  ASSERT_GE(z.size(), 2u);
  // CMF 0x78: deflate with a 32 KiB window; FLG 0xDA: level class 3 (levels 7 to 9), check bits.
  EXPECT_EQ(z[0], 0x78);
  EXPECT_EQ(z[1], 0xDA);

  // The same filtered rows compressed in one go with those parameters give
  // the very same bytes: nothing is flushed between rows.
  const Bytes raw = Inflate(z, 401 * (1 + 753 * 3));
  z_stream zs{};
  ASSERT_EQ(deflateInit2(&zs, 7, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes expected(deflateBound(&zs, static_cast<uLong>(raw.size())));
  zs.next_in = const_cast<Bytef*>(raw.data());
  zs.avail_in = static_cast<uInt>(raw.size());
  zs.next_out = expected.data();
  zs.avail_out = static_cast<uInt>(expected.size());
  ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  expected.resize(zs.total_out);
  deflateEnd(&zs);
  EXPECT_EQ(z, expected);
}

TEST(PngObjectTest, QtDecodesEveryPixelOfOurFiles) {
  const RgbImage pictures[] = {
      NoisePicture(1, 1, 11), NoisePicture(2, 3, 12), NoisePicture(17, 5, 13),
      ViewLikePicture(753, 401), ViewLikePicture(300, 300), NoisePicture(129, 67, 14),
  };
  for (const RgbImage& img : pictures) {
    SCOPED_TRACE(std::to_string(img.width) + "x" + std::to_string(img.height));
    ExpectQtReadsSamePixels(Encode(img), img);
  }
}

TEST(PngObjectTest, LargeDataIsSplitIntoFullIdatChunksAndARemainder) {
  const RgbImage img = NoisePicture(300, 300, 7);  // 270 KB that does not compress
  const Bytes png = Encode(img);
  const auto chunks = ParseChunks(png);
  std::vector<std::size_t> idat;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") idat.push_back(c.data.size());
  ASSERT_GE(idat.size(), 4u);
  for (std::size_t i = 0; i + 1 < idat.size(); ++i) EXPECT_EQ(idat[i], 65535u);
  EXPECT_GT(idat.back(), 0u);
  EXPECT_LT(idat.back(), 65535u);
  ExpectQtReadsSamePixels(png, img);
}

TEST(PngObjectTest, OtherFilterSetsDecodeToTheSamePixels) {
  using F = TPngFilter;
  const RgbImage img = NoisePicture(41, 23, 5);
  RgbImage smooth = ViewLikePicture(61, 47);
  const std::vector<std::vector<F>> sets = {
      {}, {F::pfNone}, {F::pfUp}, {F::pfAverage}, {F::pfPaeth},
      {F::pfNone, F::pfSub, F::pfUp, F::pfAverage, F::pfPaeth}};
  for (const auto& set : sets) {
    SCOPED_TRACE(set.size());
    ExpectQtReadsSamePixels(Encode(img, set), img);
    ExpectQtReadsSamePixels(Encode(smooth, set), smooth);
  }
  // A one-filter set puts that filter on every row.
  const auto raw = Inflate(JoinedIdat(ParseChunks(Encode(img, {F::pfPaeth}))), 23 * (1 + 41 * 3));
  for (int y = 0; y < 23; ++y) EXPECT_EQ(raw[static_cast<std::size_t>(y) * (1 + 41 * 3)], 4);
}

TEST(PngObjectTest, ChoiceAmongSeveralFiltersTakesTheSmallestSignedSum) {
  using F = TPngFilter;
  std::vector<std::uint8_t> scratch;
  // A row equal to the one above: Up gives all zeros.
  const Bytes row = {90, 10, 200, 91, 12, 203, 95, 11, 199};
  EXPECT_EQ(TPNGObject::ChooseFilter({F::pfNone, F::pfSub, F::pfUp}, row, row, scratch), F::pfUp);
  // A flat row below an unrelated one: Sub leaves only the first pixel.
  const Bytes flat = {120, 120, 120, 120, 120, 120, 120, 120, 120};
  EXPECT_EQ(TPNGObject::ChooseFilter({F::pfNone, F::pfSub, F::pfUp}, flat, row, scratch), F::pfSub);
  EXPECT_EQ(TPNGObject::ChooseFilter({}, flat, row, scratch), F::pfNone);
  EXPECT_EQ(TPNGObject::ChooseFilter({F::pfAverage}, flat, row, scratch), F::pfAverage);
}

TEST(PngObjectTest, FileStreamAndByteOutputsAreTheSame) {
  const RgbImage img = ViewLikePicture(123, 45);
  TPNGObject png;
  png.Assign(img);
  Bytes bytes;
  ASSERT_TRUE(png.SaveToStream(bytes).ok);
  std::ostringstream stream;
  ASSERT_TRUE(png.SaveToStream(stream).ok);
  const std::string streamed = stream.str();
  EXPECT_EQ(Bytes(streamed.begin(), streamed.end()), bytes);

  const auto path = std::filesystem::temp_directory_path() / "oscalyx_png_object_test.png";
  const PngResult r = png.SaveToFile(path.string());
  ASSERT_TRUE(r.ok) << r.message;
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(file, bytes);
  std::filesystem::remove(path);
}

TEST(PngObjectTest, FailuresComeBackWithAMessage) {
  TPNGObject empty;
  Bytes out;
  PngResult r = empty.SaveToStream(out);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.message.empty());

  TPNGObject png;
  png.Assign(ViewLikePicture(20, 10));
  const std::string missing = "/nonexistent-dir-oscalyx/view.png";
  r = png.SaveToFile(missing);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(missing), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("作成できません"), std::string::npos) << r.message;

  if (std::filesystem::exists("/dev/full")) {
    r = png.SaveToFile("/dev/full");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("書き込めません"), std::string::npos) << r.message;
  }

  RgbImage broken{10, 10, Bytes(10 * 10 * 3 - 1)};
  png.Assign(broken);
  out.clear();
  EXPECT_FALSE(png.SaveToStream(out).ok);
  EXPECT_TRUE(out.empty());
  // A bad picture does not create the file.
  const auto path = std::filesystem::temp_directory_path() / "oscalyx_png_broken.png";
  std::filesystem::remove(path);
  EXPECT_FALSE(png.SaveToFile(path.string()).ok);
  EXPECT_FALSE(std::filesystem::exists(path));

  png.Assign(RgbImage{0, 5, {}});
  EXPECT_FALSE(png.SaveToStream(out).ok);
}

TEST(PngObjectTest, AFailedSaveLeavesTheEarlierFileAndNoTemporaryOne) {
  const auto dir = std::filesystem::temp_directory_path() / "oscalyx_png_replace_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  const std::string path = (dir / "view.png").string();
  { std::ofstream(path, std::ios::binary) << "earlier picture"; }
  TPNGObject png;
  png.Assign(ViewLikePicture(300, 200));

  const PngResult full = [&] {
    FileSizeLimit limit(100);  // a disk that takes no more than 100 bytes
    return png.SaveToFile(path);
  }();

  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.message, "ファイル「" + path + "」に書き込めません：ファイルが大きすぎます。");
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier picture");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
