#include "io/ReadSpc51.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>

#include "io/FileHandle.h"
#include "io/ProgressTicker.h"
#include "io/TextSniff.h"

namespace {

constexpr int kTimeOffset = 48;
constexpr int kTimeLength = 19;
constexpr int kSampleCountOffset = 112;
constexpr int kChannelCountOffset = 118;
constexpr int kRateOffset = 120;
constexpr int kNameLength = 32;
constexpr int kUnitOffset = 32;
constexpr int kUnitLength = 8;
constexpr int kCalibrationOffset = 48;
// Blocks of frames between two looks at the cancel flag and reports of progress.
constexpr int kBlocksPerCheck = 16;
// The share of a read that reading the counts takes; scaling them is the rest.
constexpr double kCountsShare = 0.6;

std::int16_t Int16At(const unsigned char* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

std::int32_t Int32At(const unsigned char* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}

float FloatAt(const unsigned char* p) {
  const auto bits = static_cast<std::uint32_t>(Int32At(p));
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Reads until `size` bytes are in or the file ends; returns the bytes read.
std::size_t ReadFully(int fd, void* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, static_cast<char*>(buffer) + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

// A blank-padded text field: trailing blanks are removed (a NUL stops the
// removal), and the text ends at the first NUL or the end of the field.
std::string_view PaddedText(unsigned char* field, int length) {
  for (int i = length - 1; i >= 0 && field[i] == ' '; --i) field[i] = '\0';
  const auto* text = reinterpret_cast<const char*>(field);
  const auto* nul = static_cast<const char*>(std::memchr(text, '\0', static_cast<std::size_t>(length)));
  return {text, nul != nullptr ? static_cast<std::size_t>(nul - text) : static_cast<std::size_t>(length)};
}

}  // namespace

std::optional<int> ReadSpc51Counts(int fd, int channelCount, std::vector<std::int16_t>* rawArrays, int sampleCount,
                                   const Progress* progress) {
  for (int k = 0; k < channelCount; ++k) rawArrays[k].assign(static_cast<std::size_t>(sampleCount), 0);
  const std::size_t blockValues = static_cast<std::size_t>(kSpc51BlockFrames) * channelCount;
  std::vector<unsigned char> block(blockValues * 2);
  ProgressTicker ticker(progress);
  int stored = 0;
  for (int blocks = 0;; ++blocks) {
    if (blocks % kBlocksPerCheck == 0) {
      if (ticker.Cancelled()) return std::nullopt;
      ticker.At(sampleCount > 0 ? static_cast<double>(stored) / sampleCount : 0.0);
    }
    const std::size_t values = ReadFully(fd, block.data(), block.size()) / 2;
    const std::size_t frames = values / static_cast<std::size_t>(channelCount);
    for (std::size_t i = 0; i < frames && stored < sampleCount; ++i, ++stored) {
      const unsigned char* frame = block.data() + i * channelCount * 2;
      for (int k = 0; k < channelCount; ++k) {
        rawArrays[k][static_cast<std::size_t>(stored)] = Int16At(frame + 2 * k);
      }
    }
    if (values != blockValues || stored >= sampleCount) break;
  }
  ticker.Done();
  return stored;
}

ReadResult ReadSpc51(const std::string& path, WaveData& record, const Progress* progress) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may never
  // come; it has no effect on regular files, the only kind read here.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (std::optional<ReadResult> failed = UnopenableFile(path, file.get(), info)) return *failed;

  unsigned char header[kSpc51HeaderSize];
  const std::size_t headerBytes = ReadFully(file.get(), header, sizeof header);
  // A header that cannot be an SPC-51 header: most often a file of another
  // kind read with the wrong type chosen, which the message says.
  const auto notSpc51 = [&](const std::string& why) {
    if (headerBytes > 0 && LooksLikeText(std::string_view(reinterpret_cast<const char*>(header), headerBytes))) {
      return Refused("SPC-51形式のファイルではありません（テキストファイルです）。"
                     "標準CSVのファイルなら、ファイルの種類で「標準CSV(*.csv)」を選んでください。");
    }
    return Refused("SPC-51形式のファイルではないようです（" + why + "）。");
  };
  if (headerBytes != sizeof header) return notSpc51("512バイトのヘッダがありません");
  const int channelCount = Int16At(header + kChannelCountOffset);
  const std::int32_t sampleCount = Int32At(header + kSampleCountOffset);
  const int rate = Int16At(header + kRateOffset);
  if (channelCount < 1 || channelCount > kMaxChannels) {
    return notSpc51("ヘッダのチャンネル数 " + std::to_string(channelCount) + " は 1～8 のどれでもありません");
  }
  if (sampleCount < 0) return notSpc51("ヘッダのデータ数 " + std::to_string(sampleCount) + " が負です");
  if (rate <= 0) return notSpc51("ヘッダのサンプリング周波数 " + std::to_string(rate) + " が正ではありません");
  // Raw counts and physical values: six bytes a sample.
  const unsigned long long bytes = static_cast<unsigned long long>(sampleCount) * channelCount *
                                   (sizeof(std::int16_t) + sizeof(float));
  if (!FitsInMemory(bytes)) {
    return Refused("データ数 " + std::to_string(sampleCount) +
                   " が大きすぎて、このコンピュータのメモリに読み込めません。");
  }

  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  std::array<float, kMaxChannels> scales{};
  for (int k = 0; k < channelCount; ++k) {
    unsigned char channel[kSpc51ChannelHeaderSize];
    if (ReadFully(file.get(), channel, sizeof channel) != sizeof channel) {
      return Refused("SPC-51ファイルのチャンネル情報が不完全です。");
    }
    CopyToSlot(PaddedText(channel, kNameLength), names[k]);
    const std::string_view unit = PaddedText(channel + kUnitOffset, kUnitLength);
    CopyToSlot(unit, units[k]);
    const float calibration = FloatAt(channel + kCalibrationOffset);
    if (!std::isfinite(calibration)) {
      return Refused("SPC-51ファイルのチャンネル" + std::to_string(k + 1) + "の校正係数が数値ではありません。");
    }
    scales[k] = !unit.empty() && unit[0] == 'g' ? calibration : static_cast<float>(calibration * 1000.0);
    // A factor above about 3.4e35 overflows to infinity when multiplied by
    // 1000, and a count of 0 would then become NaN.
    if (!std::isfinite(scales[k])) {
      return Refused("SPC-51ファイルのチャンネル" + std::to_string(k + 1) + "の校正係数が大きすぎます。");
    }
  }

  // Reading the counts is the first part of the work, scaling them the rest.
  ProgressTicker ticker(progress);
  const Progress countsPart{[&ticker](double fraction) { ticker.At(kCountsShare * fraction); },
                            progress != nullptr ? progress->Cancel : nullptr};
  std::array<std::vector<std::int16_t>, kMaxChannels> raw;
  if (!ReadSpc51Counts(file.get(), channelCount, raw.data(), sampleCount, &countsPart)) return ReadCancelled();
  std::array<std::vector<float>, kMaxChannels> samples;
  for (int k = 0; k < channelCount; ++k) {
    ticker.At(kCountsShare + (1.0 - kCountsShare) * k / channelCount);
    if (ticker.Cancelled()) return ReadCancelled();
    samples[k].resize(static_cast<std::size_t>(sampleCount));
    for (std::size_t i = 0; i < samples[k].size(); ++i) samples[k][i] = raw[k][i] * scales[k];
  }
  // A stop asked for after the last report is still in time.
  if (ticker.Cancelled()) return ReadCancelled();

  record.ChannelCount = channelCount;
  record.SampleCount = sampleCount;
  record.Rate = rate;
  record.Dt = static_cast<float>(1.0 / rate);
  record.Names = names;
  record.Units = units;
  record.Scales = scales;
  for (int k = 0; k < channelCount; ++k) {
    record.RawCounts[k] = std::move(raw[k]);
    record.Samples[k] = std::move(samples[k]);
  }

  ticker.Done();

  ReadResult result;
  const auto* time = reinterpret_cast<const char*>(header + kTimeOffset);
  const auto* nul = static_cast<const char*>(std::memchr(time, '\0', kTimeLength));
  result.timeLabel.assign(time, nul != nullptr ? static_cast<std::size_t>(nul - time) : kTimeLength);
  result.sliderMax = sampleCount;
  return result;
}
