#include "image/PngObject.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <utility>

#include "image/PngChunks.h"
#include "io/ReplacingFile.h"
#include "io/SystemErrorText.h"

namespace {

constexpr int kBytesPerPixel = 3;
constexpr int kWindowBits = 15;  // 32 KiB window
constexpr int kMemLevel = 8;
// PNG keeps every length and dimension below 2^31.
constexpr std::uint32_t kPngMaxValue = 0x7FFFFFFFu;

PngResult Failure(std::string message) { return {false, std::move(message)}; }

std::uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

long SignedMagnitudeSum(std::span<const std::uint8_t> bytes) {
  long sum = 0;
  for (const std::uint8_t b : bytes) sum += b < 128 ? b : 256 - b;
  return sum;
}

std::string FileMessage(const char* what, const std::string& path, const std::string& cause) {
  return "ファイル「" + path + "」" + what + "：" + cause + "。";
}

}  // namespace

void TPNGObject::Assign(const RgbImage& image) {
  TChunkIHDR header;
  header.Width = static_cast<std::uint32_t>(std::max(image.width, 0));
  header.Height = static_cast<std::uint32_t>(std::max(image.height, 0));
  header.Pixels = image.pixels;
  header_ = std::move(header);
}

void TPNGObject::FilterRow(TPngFilter filter, std::span<const std::uint8_t> row,
                           std::span<const std::uint8_t> previousRow,
                           std::span<std::uint8_t> out) {
  const std::size_t n = row.size();
  // Filtering works on bytes, modulo 256; "left" is the same byte of the
  // pixel before, 0 for the first pixel of the row.
  auto left = [&](std::size_t i) -> int { return i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0; };
  auto upLeft = [&](std::size_t i) -> int {
    return i >= kBytesPerPixel ? previousRow[i - kBytesPerPixel] : 0;
  };
  switch (filter) {
    case TPngFilter::pfNone:
      std::copy(row.begin(), row.end(), out.begin());
      break;
    case TPngFilter::pfSub:
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(row[i] - left(i));
      break;
    case TPngFilter::pfUp:
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(row[i] - previousRow[i]);
      break;
    case TPngFilter::pfAverage:
      for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(row[i] - (left(i) + previousRow[i]) / 2);
      break;
    case TPngFilter::pfPaeth:
      for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(row[i] - PaethPredictor(left(i), previousRow[i], upLeft(i)));
      break;
  }
}

TPngFilter TPNGObject::ChooseFilter(const std::vector<TPngFilter>& filters,
                                    std::span<const std::uint8_t> row,
                                    std::span<const std::uint8_t> previousRow,
                                    std::vector<std::uint8_t>& scratch) {
  if (filters.empty()) return TPngFilter::pfNone;
  if (filters.size() == 1) return filters.front();
  scratch.resize(row.size());
  TPngFilter best = filters.front();
  long bestSum = std::numeric_limits<long>::max();
  for (const TPngFilter f : filters) {
    FilterRow(f, row, previousRow, scratch);
    const long sum = SignedMagnitudeSum(scratch);
    if (sum < bestSum) {
      bestSum = sum;
      best = f;
    }
  }
  return best;
}

PngResult TPNGObject::Check() const {
  if (!header_) return Failure("PNG に書き出す画像がありません。");
  const TChunkIHDR& ihdr = *header_;
  if (ihdr.Width == 0 || ihdr.Height == 0 || ihdr.Width > kPngMaxValue || ihdr.Height > kPngMaxValue)
    return Failure("PNG に書き出す画像の大きさが不正です（" + std::to_string(ihdr.Width) + " × " +
                   std::to_string(ihdr.Height) + "）。");
  if (ihdr.Pixels.size() != std::size_t{ihdr.Width} * kBytesPerPixel * ihdr.Height)
    return Failure("PNG に書き出す画像の画素数が大きさと合いません。");
  if (CompressionLevel < 0 || CompressionLevel > 9 || MaxIdatSize == 0 || MaxIdatSize > kPngMaxValue ||
      InterlaceMethod != TInterlaceMethod::imNone)
    return Failure("PNG の書き出し設定が不正です。");
  return {};
}

PngResult TPNGObject::Encode(const ByteSink& sink) const {
  if (PngResult r = Check(); !r.ok) return r;
  const TChunkIHDR& ihdr = *header_;
  const std::size_t rowBytes = std::size_t{ihdr.Width} * kBytesPerPixel;
  // Only Up, Average and Paeth look at the row above.
  const bool needsPrevious = std::any_of(Filters.begin(), Filters.end(), [](TPngFilter f) {
    return f != TPngFilter::pfNone && f != TPngFilter::pfSub;
  });

  bool sinkFailed = false;
  auto put = [&](std::span<const std::uint8_t> bytes) {
    if (!sinkFailed && !sink(bytes)) sinkFailed = true;
  };
  std::vector<std::uint8_t> chunk;
  chunk.reserve(MaxIdatSize + 12);

  put(png::kSignature);

  std::vector<std::uint8_t> ihdrData;
  png::AppendBigEndian32(ihdrData, ihdr.Width);
  png::AppendBigEndian32(ihdrData, ihdr.Height);
  ihdrData.insert(ihdrData.end(), {ihdr.BitDepth, ihdr.ColorType, ihdr.CompressionMethod,
                                   ihdr.FilterMethod, static_cast<std::uint8_t>(0) /* no interlace */});
  png::AppendChunk(chunk, "IHDR", ihdrData);
  put(chunk);

  z_stream zs{};
  if (deflateInit2(&zs, CompressionLevel, Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
    return Failure("PNG の圧縮を開始できません。");

  png::IdatSplitter splitter(MaxIdatSize, [&](std::span<const std::uint8_t> payload) {
    chunk.clear();
    png::AppendChunk(chunk, "IDAT", payload);
    put(chunk);
  });
  // Runs deflate until it has taken all pending input (or, when finishing,
  // until the stream ends), handing every full output buffer to the splitter.
  auto pump = [&](int flush) -> bool {
    for (;;) {
      const auto space = splitter.FreeSpace();
      zs.next_out = space.data();
      zs.avail_out = static_cast<uInt>(space.size());
      const int rc = deflate(&zs, flush);
      splitter.Commit(space.size() - zs.avail_out);
      if (rc == Z_STREAM_END) return true;
      if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
      if (flush == Z_NO_FLUSH && zs.avail_in == 0) return true;
    }
  };

  // The filter-type byte and the filtered row go to the compressor together.
  std::vector<std::uint8_t> previous(rowBytes, 0);
  std::vector<std::uint8_t> filtered(1 + rowBytes);
  std::vector<std::uint8_t> scratch;
  bool deflateOk = true;
  for (std::uint32_t y = 0; y < ihdr.Height && deflateOk && !sinkFailed; ++y) {
    const std::span<const std::uint8_t> row(ihdr.Pixels.data() + y * rowBytes, rowBytes);
    const TPngFilter filter = ChooseFilter(Filters, row, previous, scratch);
    filtered[0] = static_cast<std::uint8_t>(filter);
    FilterRow(filter, row, previous, std::span<std::uint8_t>(filtered).subspan(1));
    zs.next_in = filtered.data();
    zs.avail_in = static_cast<uInt>(filtered.size());
    deflateOk = pump(Z_NO_FLUSH);
    if (needsPrevious) std::copy(row.begin(), row.end(), previous.begin());
  }
  if (deflateOk && !sinkFailed) deflateOk = pump(Z_FINISH);
  deflateEnd(&zs);
  if (!deflateOk) return Failure("PNG の圧縮に失敗しました。");
  splitter.Finish();

  chunk.clear();
  png::AppendChunk(chunk, "IEND", {});
  put(chunk);
  if (sinkFailed) return Failure("PNG データを書き込めません。");
  return {};
}

PngResult TPNGObject::SaveToStream(std::vector<std::uint8_t>& out) const {
  return Encode([&](std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
  });
}

PngResult TPNGObject::SaveToStream(std::ostream& out) const {
  return Encode([&](std::span<const std::uint8_t> bytes) {
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  });
}

PngResult TPNGObject::SaveToFile(const std::string& path) const {
  // A picture that cannot be written must not leave an empty file behind.
  if (PngResult r = Check(); !r.ok) return r;
  ReplacingFile file(path);
  if (!file.ok()) return Failure(FileMessage("を作成できません", path, file.errorText()));
  int writeError = 0;
  PngResult result = Encode([&](std::span<const std::uint8_t> bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) == bytes.size()) return true;
    writeError = errno != 0 ? errno : EIO;
    return false;
  });
  if (!result.ok && writeError == 0) return result;  // the encoder's own failure; the file is dropped
  if (writeError != 0) return Failure(FileMessage("に書き込めません", path, SystemErrorText(writeError)));
  if (!file.Commit()) return Failure(FileMessage("に書き込めません", path, file.errorText()));
  return result;
}
