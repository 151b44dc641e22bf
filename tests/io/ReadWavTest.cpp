// The WAV reader on files made from the format's description: every sample
// size comes back as its count over full scale times the scale, and a file
// cut short or not finished, another container or another encoding is
// refused, not read short or handed to the library's other parsers.
#include "io/ReadWav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/WavBuilder.h"

namespace {

// A free decay of 3.7 Hz, damping 0.04, phase 0.7, at full scale `counts`.
std::vector<std::vector<double>> Decay(int frames, int rate, int channels, double counts) {
  std::vector<std::vector<double>> out;
  const double wn = 2 * std::numbers::pi * 3.7;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    std::vector<double> frame;
    for (int k = 0; k < channels; ++k) {
      const double x = std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1 - 0.04 * 0.04) * t + 0.7) / (k + 1);
      frame.push_back(counts > 0 ? std::round(x * counts * 0.9) : x);
    }
    out.push_back(frame);
  }
  return out;
}

TEST(ReadWav, EverySampleSizeReadsAsCountsOverFullScaleTimesTheScale) {
  struct Case {
    int bits;
    bool floating;
    double fullScale;  // counts of 1.0; 0 for floating point
  };
  const Case cases[] = {{8, false, 128.0}, {16, false, 32768.0}, {24, false, 8388608.0},
                        {32, false, 2147483648.0}, {32, true, 0.0}, {64, true, 0.0}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + (c.floating ? " float" : " PCM"));
    WavBuilder file;
    file.channels = 2;
    file.rate = 512;
    file.bits = c.bits;
    file.floating = c.floating;
    file.extraChunk = true;
    file.frames = Decay(700, 512, 2, c.fullScale);
    ReadOptions options;
    options.Scale = 980.665;  // full scale of 1 g in gal
    options.Unit = "gal";
    WaveData record;
    const ReadResult result = ReadWav(dir.Write("w.wav", file.Bytes()), options, record);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(record.ChannelCount, 2);
    EXPECT_EQ(record.SampleCount, 700);
    EXPECT_EQ(record.Rate, 512.0);
    EXPECT_EQ(SlotText(record.Names[1]), "ch2");
    EXPECT_EQ(SlotText(record.Units[0]), "gal");
    for (int i = 0; i < 700; i += 37) {
      for (int k = 0; k < 2; ++k) {
        const double stored = file.frames[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
        const double expected = (c.floating ? static_cast<double>(static_cast<float>(stored)) : stored / c.fullScale) *
                                options.Scale;
        EXPECT_NEAR(record.Samples[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)], expected,
                    std::fabs(expected) * 1e-6 + 1e-9)
            << "frame " << i;
      }
    }
  }
}

TEST(ReadWav, NineChannelsLoadEightWithAWarning) {
  WavBuilder file;
  file.channels = 9;
  file.frames = Decay(10, 1000, 9, 32768.0);
  TempDir dir;
  WaveData record;
  ReadOptions options;
  options.Names = {"a", "b"};
  const ReadResult result = ReadWav(dir.Write("n.wav", file.Bytes()), options, record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 8);
  EXPECT_EQ(SlotText(record.Names[1]), "b");
  EXPECT_EQ(SlotText(record.Names[2]), "ch3");
  EXPECT_EQ(result.warnings, std::vector<std::string>{ChannelsLeftOutWarning(9)});
}

TEST(ReadWav, CutOrUnfinishedFilesAreRefused) {
  WavBuilder file;
  file.channels = 2;
  file.frames = Decay(1000, 1000, 2, 32768.0);
  const std::string whole = file.Bytes();
  std::string unfinished = whole;
  unfinished.replace(unfinished.find("data") + 4, 4, std::string(4, '\0'));  // the recorder never wrote the length
  std::string mp3 = whole;
  mp3.replace(mp3.find("fmt ") + 8, 2, std::string("\x55\0", 2));  // MPEG layer III: never handed to a decoder
  std::string list = whole;  // a LIST chunk longer than the file, which hung libsndfile
  list.insert(list.find("data"), std::string("LIST\x07\0\xff\x49INFOabc", 15));
  struct Case {
    std::string bytes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {whole.substr(0, whole.size() - 1001), "WAVファイルが途中で切れています（データ 4000 バイトのうち 2999 バイトしかありません）。"},
      {whole.substr(0, 50), "WAVファイルが途中で切れています"},
      {unfinished, "WAVファイルのデータの長さが記録されていません"},
      {whole.substr(0, 30), "WAVファイルとして読めません"},
      {"RIFF\x10\0\0\0WAVEjunkjunkjunk", "WAVファイルとして読めません"},
      {"not a sound file at all", "WAVファイルとして読めません（RIFF WAVE の見出しがありません）"},
      {std::string("FORM\0\0\0\x40" "AIFFCOMM", 16) + std::string(60, '\0'), "RIFF WAVE の見出しがありません"},
      {mp3, "このWAVファイルの符号化は読めません"},
      {list, "WAVファイルの見出しが壊れています（「LIST」の部分の長さがファイルの終わりを超えています）。"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WaveData record;
    record.Rate = 7;
    const ReadResult result = ReadWav(dir.Write("cut.wav", c.bytes), {}, record);
    EXPECT_EQ(result.status, ReadStatus::Refused) << c.message;
    EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    EXPECT_EQ(record.Rate, 7);
  }
  WaveData record;
  EXPECT_EQ(ReadWav(dir.File("none.wav"), {}, record).status, ReadStatus::CannotOpen);
}

}  // namespace
