#include "io/ReadWav.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "io/FileHandle.h"
#include "io/LoadedLibrary.h"
#include "io/ProgressTicker.h"
#include "io/ReadCsv.h"

namespace {

// Frames read and scaled between two looks at the cancel flag: a block that
// stays in the processor's cache between libsndfile's conversion and ours.
constexpr sf_count_t kBlockFrames = 1 << 12;

// libsndfile's functions, from the library opened when a WAV file is first read.
struct Sndfile {
  LoadedLibrary library{OSCALYX_SNDFILE_SONAME};
  decltype(&sf_open_fd) open = library.Get<decltype(&sf_open_fd)>("sf_open_fd");
  decltype(&sf_close) close = library.Get<decltype(&sf_close)>("sf_close");
  decltype(&sf_command) command = library.Get<decltype(&sf_command)>("sf_command");
  decltype(&sf_readf_float) readFloats = library.Get<decltype(&sf_readf_float)>("sf_readf_float");
  decltype(&sf_strerror) error = library.Get<decltype(&sf_strerror)>("sf_strerror");
};

Sndfile& Library() { return LoadedOnce<Sndfile>(); }

constexpr char kEncodingMessage[] =
    "このWAVファイルの符号化は読めません（読めるのはPCMの8・16・24・32ビットと浮動小数点です）。";

// The encodings the reader takes: linear PCM and floating point.
bool IsLinear(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      return true;
    default:
      return false;
  }
}

std::uint32_t Word(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3])
                   : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
}

// The encodings of a WAVE file's fmt chunk the reader takes: linear PCM and
// IEEE floating point, plainly or as the extensible format's sub-format.
constexpr std::uint32_t kWavePcm = 1;
constexpr std::uint32_t kWaveFloat = 3;
constexpr std::uint32_t kWaveExtensible = 0xFFFE;

// What of a file's RIFF structure keeps it from libsndfile, before libsndfile
// sees it: not a RIFF, RIFX or RF64 WAVE file (libsndfile would judge it by
// its content and go on to the parsers of a dozen other formats, where a
// damaged file has been seen to hang it); an encoding other than linear PCM
// or floating point (its compressed-format decoders are no part of this
// reader); a data chunk that says more bytes than the file holds, or holds no
// length at all; any other chunk that reaches past the end of the file (a
// LIST chunk of that kind has hung libsndfile). Nothing when libsndfile may
// read the rest.
std::optional<std::string> WaveHeaderProblem(int fd, long long fileSize) {
  const std::string notWave = "WAVファイルとして読めません（RIFF WAVE の見出しがありません）。";
  unsigned char header[12];
  if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) return notWave;
  const bool riff = std::memcmp(header, "RIFF", 4) == 0;
  const bool rifx = std::memcmp(header, "RIFX", 4) == 0;
  const bool rf64 = std::memcmp(header, "RF64", 4) == 0;
  if ((!riff && !rifx && !rf64) || std::memcmp(header + 8, "WAVE", 4) != 0) return notWave;
  long long at = 12;
  unsigned char chunk[8];
  while (at + 8 <= fileSize) {
    if (::pread(fd, chunk, sizeof chunk, at) != static_cast<ssize_t>(sizeof chunk)) return std::nullopt;
    const long long length = Word(chunk + 4, rifx);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char fmt[26] = {};
      const auto got = ::pread(fd, fmt, sizeof fmt, at + 8);
      if (got >= 2) {
        const std::uint32_t tag = rifx ? (std::uint32_t{fmt[0]} << 8 | fmt[1]) : (std::uint32_t{fmt[1]} << 8 | fmt[0]);
        const std::uint32_t sub = got >= 26 && length >= 26
                                      ? (rifx ? (std::uint32_t{fmt[24]} << 8 | fmt[25])
                                              : (std::uint32_t{fmt[25]} << 8 | fmt[24]))
                                      : 0;
        const bool linear = tag == kWavePcm || tag == kWaveFloat ||
                            (tag == kWaveExtensible && (sub == kWavePcm || sub == kWaveFloat));
        if (!linear) return std::string(kEncodingMessage);
      }
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      // An RF64 file gives the data's length in its ds64 chunk.
      if (rf64 && length == 0xFFFFFFFFLL) return std::nullopt;
      if (length == 0 || length == 0xFFFFFFFFLL) {
        return std::string("WAVファイルのデータの長さが記録されていません（録音が終わっていないファイルです）。");
      }
      const long long present = fileSize - (at + 8);
      if (length > present) {
        return "WAVファイルが途中で切れています（データ " + std::to_string(length) + " バイトのうち " +
               std::to_string(present) + " バイトしかありません）。";
      }
    } else if (length > fileSize - (at + 8)) {
      std::string id;
      for (int k = 0; k < 4; ++k) id += chunk[k] >= 0x20 && chunk[k] < 0x7F ? static_cast<char>(chunk[k]) : '?';
      return "WAVファイルの見出しが壊れています（「" + id + "」の部分の長さがファイルの終わりを超えています）。";
    }
    at += 8 + length + (length & 1);  // chunks are padded to an even length
  }
  return std::nullopt;
}

}  // namespace

ReadResult ReadWav(const std::string& path, const ReadOptions& options, WaveData& record, const Progress* progress) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (std::optional<ReadResult> failed = UnopenableFile(path, file.get(), info)) return *failed;
  if (const std::optional<std::string> problem = WaveHeaderProblem(file.get(), static_cast<long long>(info.st_size))) {
    return Refused(*problem);
  }
  Sndfile& sndfile = Library();
  if (!sndfile.library.Ok()) {
    return Refused("WAVファイルを読むためのライブラリ（" + sndfile.library.Name() + "）が見つかりません。");
  }
  // libsndfile reads a descriptor of its own, from the start.
  const int own = ::dup(file.get());
  if (own < 0 || ::lseek(own, 0, SEEK_SET) != 0) {
    const int error = errno;
    if (own >= 0) ::close(own);
    return CannotOpen(path, error);
  }
  SF_INFO format{};
  SNDFILE* sound = sndfile.open(own, SFM_READ, &format, SF_TRUE);
  if (sound == nullptr) {
    return Refused(std::string("WAVファイルとして読めません（") + sndfile.error(nullptr) + "）。");
  }
  struct Closer {
    Sndfile& library;
    SNDFILE* sound;
    ~Closer() { library.close(sound); }
  } closer{sndfile, sound};
  if (!IsLinear(format.format)) {
    return Refused(kEncodingMessage);
  }
  if (format.channels < 1 || format.samplerate < 1) return Refused("WAVファイルのチャンネル数かサンプリング周波数が正しくありません。");
  if (format.frames < 0 || format.frames > INT_MAX) return Refused("データの行数が多すぎます。");
  const int fileChannels = format.channels;
  const int channels = std::min(fileChannels, kMaxChannels);
  if (options.Names.size() > static_cast<std::size_t>(fileChannels)) {
    return Refused("名前が " + std::to_string(options.Names.size()) + " 個指定されていますが、チャンネルは " +
                   std::to_string(fileChannels) + " 個です。");
  }
  const auto frames = static_cast<std::size_t>(format.frames);
  if (!FitsInMemory(static_cast<unsigned long long>(frames) * static_cast<unsigned>(channels) * sizeof(float))) {
    return Refused("データが大きすぎて、このコンピュータのメモリに読み込めません。");
  }
  sndfile.command(sound, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);

  std::array<std::vector<float>, kMaxChannels> samples;
  for (int k = 0; k < channels; ++k) samples[static_cast<std::size_t>(k)].resize(frames);
  std::vector<float> block(static_cast<std::size_t>(kBlockFrames) * static_cast<std::size_t>(fileChannels));
  ProgressTicker ticker(progress);
  std::size_t done = 0;
  while (done < frames) {
    if (ticker.Cancelled()) return ReadCancelled();
    const sf_count_t wanted = std::min<sf_count_t>(kBlockFrames, static_cast<sf_count_t>(frames - done));
    const sf_count_t got = sndfile.readFloats(sound, block.data(), wanted);
    if (got <= 0) break;
    // The scale is applied in double precision, with one rounding to float.
    for (int k = 0; k < channels; ++k) {
      float* out = samples[static_cast<std::size_t>(k)].data() + done;
      const float* in = block.data() + k;
      if (options.Scale == 1.0) {
        for (sf_count_t i = 0; i < got; ++i) out[i] = in[i * fileChannels];
      } else {
        for (sf_count_t i = 0; i < got; ++i) out[i] = static_cast<float>(static_cast<double>(in[i * fileChannels]) * options.Scale);
      }
    }
    done += static_cast<std::size_t>(got);
    ticker.At(static_cast<double>(done) / static_cast<double>(std::max<std::size_t>(frames, 1)));
  }
  if (done < frames) return Refused("WAVファイルを最後まで読めませんでした（" + std::to_string(done) + " / " +
                                    std::to_string(frames) + " フレーム）。");
  struct stat after {};
  if (::fstat(file.get(), &after) != 0 || after.st_size != info.st_size || after.st_mtim.tv_sec != info.st_mtim.tv_sec ||
      after.st_mtim.tv_nsec != info.st_mtim.tv_nsec) {
    return ChangedWhileRead();
  }

  std::vector<std::string> warnings;
  if (fileChannels > kMaxChannels) warnings.push_back(ChannelsLeftOutWarning(fileChannels));
  std::array<TextSlot<kNameSlot>, kMaxChannels> names{};
  std::array<TextSlot<kUnitSlot>, kMaxChannels> units{};
  for (int k = 0; k < channels; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    CopyToSlot(slot < options.Names.size() ? options.Names[slot] : "ch" + std::to_string(k + 1), names[slot]);
    CopyToSlot(options.Unit.value_or(""), units[slot]);
  }
  record.ChannelCount = channels;
  record.SampleCount = static_cast<std::int32_t>(frames);
  record.Rate = format.samplerate;
  record.Dt = static_cast<float>(1.0 / record.Rate);
  record.Names = names;
  record.Units = units;
  for (int k = 0; k < kMaxChannels; ++k) record.Samples[static_cast<std::size_t>(k)] = std::move(samples[static_cast<std::size_t>(k)]);
  ticker.Done();

  ReadResult result;
  result.timeLabel = FileTimeLabel(static_cast<long long>(info.st_mtime));
  result.sliderMax = record.SampleCount;
  result.warnings = std::move(warnings);
  return result;
}
