#include "io/ReadSpc51.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/Spc51Builder.h"
#include "tests/support/TempDir.h"

namespace {

Spc51Builder ThreeChannels() {
  Spc51Builder file;
  file.sampleCount = 2;
  file.channelCount = 3;
  file.rate = 200;
  file.channels = {{"GL-1F", "gal", 0.001f}, {"V-2F", "kine", 0.001f}, {"X", "Gal", 0.5f}};
  file.frames = {-32768, -32768, 2, 100, 7, -4};
  return file;
}

class ReadSpc51Test : public ::testing::Test {
 protected:
  ReadResult Read(const Spc51Builder& file) { return ReadSpc51(dir.Write("data.dbl", file.Bytes()), record); }
  ReadResult ReadBytes(const std::vector<unsigned char>& bytes) {
    return ReadSpc51(dir.Write("data.dbl", bytes), record);
  }
  std::string Name(int k) const { return std::string(SlotText(record.Names[k])); }
  std::string Unit(int k) const { return std::string(SlotText(record.Units[k])); }

  TempDir dir;
  WaveData record;
};

TEST_F(ReadSpc51Test, ReadsHeadersAndScalesCountsByUnit) {
  const ReadResult result = Read(ThreeChannels());
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 3);
  EXPECT_EQ(record.SampleCount, 2);
  EXPECT_EQ(record.Rate, 200);
  EXPECT_EQ(result.sliderMax, 2);
  EXPECT_EQ(result.timeLabel, "2026/12/07 10:00:00");
  EXPECT_EQ(Name(0), "GL-1F");
  EXPECT_EQ(Unit(0), "gal");
  EXPECT_EQ(Unit(1), "kine");
  // Only a lower-case g keeps the calibration factor as it is.
  EXPECT_EQ(record.Scales[0], 0.001f);
  EXPECT_EQ(record.Scales[1], static_cast<float>(0.001f * 1000.0));
  EXPECT_EQ(record.Scales[2], 500.0f);
  EXPECT_EQ(record.Samples[0][0], -32.768f);
  EXPECT_EQ(record.Samples[1][0], static_cast<float>(-32768 * record.Scales[1]));
  EXPECT_NEAR(record.Samples[1][0], -32768.0f, 0.01f);
  EXPECT_EQ(record.Samples[2][1], -2000.0f);
  EXPECT_EQ(record.RawCounts[1][1], 7);
}

TEST_F(ReadSpc51Test, TrailingBlanksOfTextFieldsGoUnlessANulStandsAfterThem) {
  Spc51Builder file = ThreeChannels();
  file.channels[0].name = "AB  ";
  file.channels[1].name = "CD  ";
  file.channels[1].padNameWithNul = true;
  file.channels[2].name = std::string(32, 'Z');  // fills the field: the slot keeps 31
  file.channels[2].unit = "gal     ";
  ASSERT_TRUE(Read(file).ok());
  EXPECT_EQ(Name(0), "AB");
  EXPECT_EQ(Name(1), "CD  ");
  EXPECT_EQ(Name(2), std::string(31, 'Z'));
  EXPECT_EQ(Unit(2), "gal");
}

TEST_F(ReadSpc51Test, SampleCountComesFromTheHeaderNotTheFileLength) {
  Spc51Builder file;
  file.channelCount = 1;
  file.rate = 100;
  file.channels = {{"P", "gal", 1.0f}};
  for (int i = 0; i < 5000; ++i) file.frames.push_back(static_cast<std::int16_t>(i % 3000 + 1));

  file.sampleCount = 4096;
  ASSERT_TRUE(Read(file).ok());
  ASSERT_EQ(record.Samples[0].size(), 4096u);
  // Block boundaries of 2048 frames.
  EXPECT_EQ(record.Samples[0][2047], 2048.0f);
  EXPECT_EQ(record.Samples[0][2048], 2049.0f);
  EXPECT_EQ(record.Samples[0][4095], 1096.0f);

  file.sampleCount = 6000;
  ASSERT_TRUE(Read(file).ok());
  ASSERT_EQ(record.SampleCount, 6000);
  EXPECT_EQ(record.Samples[0][4999], 2000.0f);
  EXPECT_EQ(record.Samples[0][5000], 0.0f);
  EXPECT_EQ(record.Samples[0][5999], 0.0f);
}

TEST_F(ReadSpc51Test, PartialFrameAtTheEndIsDropped) {
  Spc51Builder file;
  file.channelCount = 2;
  file.sampleCount = 3;
  file.channels = {{"A", "gal", 1.0f}, {"B", "gal", 1.0f}};
  file.frames = {1, 2, 3, 4, 5};  // the third frame lacks channel 2
  ASSERT_TRUE(Read(file).ok());
  EXPECT_EQ(record.Samples[0][1], 3.0f);
  EXPECT_EQ(record.Samples[1][1], 4.0f);
  EXPECT_EQ(record.Samples[0][2], 0.0f);
  EXPECT_EQ(record.Samples[1][2], 0.0f);
}

TEST_F(ReadSpc51Test, RefusalsLeaveTheLoadedRecordIntact) {
  ASSERT_TRUE(Read(ThreeChannels()).ok());
  const WaveData before = record;
  auto expectIntact = [&](const std::string& what) {
    EXPECT_EQ(record.ChannelCount, 3) << what;
    EXPECT_EQ(record.SampleCount, 2) << what;
    EXPECT_EQ(record.Rate, 200) << what;
    EXPECT_EQ(Name(0), "GL-1F") << what;
    EXPECT_EQ(record.Samples[0], before.Samples[0]) << what;
    EXPECT_EQ(record.RawCounts[2], before.RawCounts[2]) << what;
  };

  for (const std::size_t size : {0u, 511u, 512u, 600u}) {
    std::vector<unsigned char> bytes = ThreeChannels().Bytes();
    bytes.resize(size);
    if (size >= 512) bytes[118] = 1;  // one channel, whose 96-byte header is cut short
    const ReadResult result = ReadBytes(bytes);
    EXPECT_EQ(result.status, ReadStatus::Refused) << size;
    EXPECT_FALSE(result.message.empty());
    expectIntact("size " + std::to_string(size));
  }
  for (const int channels : {0, 9, -1, 32767}) {
    Spc51Builder file = ThreeChannels();
    file.channelCount = static_cast<std::int16_t>(channels);
    EXPECT_EQ(Read(file).status, ReadStatus::Refused) << channels;
    expectIntact("channels " + std::to_string(channels));
  }
  for (const std::int32_t samples : {-1, std::numeric_limits<std::int32_t>::max()}) {
    Spc51Builder file = ThreeChannels();
    file.sampleCount = samples;
    EXPECT_EQ(Read(file).status, ReadStatus::Refused) << samples;
    expectIntact("samples " + std::to_string(samples));
  }
  for (const float factor : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    Spc51Builder file = ThreeChannels();
    file.channels[2].calibration = factor;
    EXPECT_EQ(Read(file).status, ReadStatus::Refused);
    expectIntact("calibration");
  }
  Spc51Builder noRate = ThreeChannels();
  noRate.rate = 0;
  EXPECT_EQ(Read(noRate).status, ReadStatus::Refused);
  expectIntact("rate 0");

  EXPECT_EQ(ReadSpc51(dir.File("missing.dbl"), record).status, ReadStatus::CannotOpen);
  EXPECT_EQ(ReadSpc51(dir.path(), record).status, ReadStatus::CannotOpen);
  expectIntact("cannot open");
}

TEST_F(ReadSpc51Test, ZeroSamplesIsAnEmptyRecord) {
  Spc51Builder file = ThreeChannels();
  file.sampleCount = 0;
  ASSERT_TRUE(Read(file).ok());
  EXPECT_EQ(record.SampleCount, 0);
  EXPECT_TRUE(record.Samples[2].empty());
}

}  // namespace
