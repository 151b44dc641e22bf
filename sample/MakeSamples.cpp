// Makes the sample records in the folder given as the only argument:
//   sample0.csv  one channel "P1", 100 samples/s, 60 s: ambient noise, then from
//                sample 2000 on the free decay of a system at 1.6 Hz with a
//                damping ratio of 2.5 % and mild noise;
//   sample1.dbl  an SPC-51 file with three channels at 200 samples/s: a floor
//                acceleration in gal and two velocities in kine;
//   sample2.csv  one channel "A-RF", 50 samples/s, 10 minutes: the ambient
//                response of a two-mode structure (1.05 Hz with 2 % damping, a
//                weaker 3.4 Hz with 1.5 %) to white noise, for the
//                random-decrement signature.
// The noise comes from a fixed-seed generator, so every run writes the same bytes.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "io/WaveData.h"
#include "io/WriteCsv.h"
#include "tests/support/Spc51Builder.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Gaussian noise from a standard engine, so the numbers do not depend on the
// library's distribution classes.
class Noise {
 public:
  explicit Noise(unsigned seed) : engine_(seed) {}
  double Next(double sigma) {
    const double u1 = (engine_() + 1.0) / 4294967297.0;
    const double u2 = (engine_() + 1.0) / 4294967297.0;
    return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
  }

 private:
  std::mt19937 engine_;
};

double Decay(double t, double amplitude, double frequency, double damping, double phase) {
  const double omega = 2.0 * kPi * frequency;
  return amplitude * std::exp(-damping * omega * t) * std::cos(std::sqrt(1.0 - damping * damping) * omega * t + phase);
}

bool WriteSample0(const std::string& folder) {
  constexpr int kRate = 100;
  constexpr int kSamples = 6000;
  constexpr int kDecayStart = 2000;
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = kSamples;
  record.Rate = kRate;
  CopyToSlot("P1", record.Names[0]);
  CopyToSlot("cm/s2", record.Units[0]);
  record.Samples[0].resize(kSamples);
  Noise noise(20261207);
  for (int i = 0; i < kSamples; ++i) {
    double value = noise.Next(0.15);
    if (i >= kDecayStart) {
      const double t = static_cast<double>(i - kDecayStart) / kRate;
      value += Decay(t, 40.0, 1.6, 0.025, 0.4) + noise.Next(0.25);
    }
    record.Samples[0][i] = static_cast<float>(value);
  }
  const WriteResult result = WriteCsv(folder + "/sample0.csv", record);
  if (!result.ok) std::fprintf(stderr, "%s\n", result.message.c_str());
  return result.ok;
}

bool WriteSample1(const std::string& folder) {
  constexpr int kRate = 200;
  constexpr int kFrames = 8000;
  Spc51Builder file;
  file.sampleCount = kFrames;
  file.channelCount = 3;
  file.rate = kRate;
  file.channels = {{"GL-1F", "gal", 0.001f, false}, {"V-2F", "kine", 0.0001f, false}, {"V-RF", "kine", 0.0001f, false}};
  Noise noise(51);
  for (int i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double counts[3] = {
        Decay(t, 12000.0, 2.45, 0.018, 0.3) + noise.Next(60.0),
        Decay(t, 8000.0, 2.45, 0.018, -1.2) + Decay(t, 900.0, 7.1, 0.03, 0.0) + noise.Next(40.0),
        Decay(t, 14000.0, 2.45, 0.018, -1.1) + noise.Next(40.0),
    };
    for (double count : counts) file.frames.push_back(static_cast<std::int16_t>(std::lround(count)));
  }
  const auto bytes = file.Bytes();
  std::ofstream out(folder + "/sample1.dbl", std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// One mode's response to a random impulse at every sample, exact between
// samples: x_n = a1·x_(n−1) − a2·x_(n−2) + g1·e_(n−1).
class ModeResponse {
 public:
  ModeResponse(double frequency, double damping, double rate) {
    const double wn = 2.0 * kPi * frequency;
    const double wd = wn * std::sqrt(1.0 - damping * damping);
    const double decay = std::exp(-damping * wn / rate);
    a1_ = 2.0 * decay * std::cos(wd / rate);
    a2_ = decay * decay;
    g1_ = decay * std::sin(wd / rate) / wd;
  }
  double Next(double impulse) {
    const double x = a1_ * x1_ - a2_ * x2_ + g1_ * e1_;
    x2_ = x1_;
    x1_ = x;
    e1_ = impulse;
    return x;
  }

 private:
  double a1_ = 0.0, a2_ = 0.0, g1_ = 0.0;
  double x1_ = 0.0, x2_ = 0.0, e1_ = 0.0;
};

bool WriteSample2(const std::string& folder) {
  constexpr int kRate = 50;
  constexpr int kSamples = 10 * 60 * kRate;
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = kSamples;
  record.Rate = kRate;
  CopyToSlot("A-RF", record.Names[0]);
  CopyToSlot("gal", record.Units[0]);
  record.Samples[0].resize(kSamples);
  Noise noise(20261208);
  ModeResponse first(1.05, 0.02, kRate);
  ModeResponse second(3.4, 0.015, kRate);
  for (int i = 0; i < kSamples; ++i) {
    const double force = noise.Next(1.0);
    const double value = 40.0 * first.Next(force) + 60.0 * second.Next(force) + noise.Next(0.002);
    record.Samples[0][i] = static_cast<float>(value);
  }
  const WriteResult result = WriteCsv(folder + "/sample2.csv", record);
  if (!result.ok) std::fprintf(stderr, "%s\n", result.message.c_str());
  return result.ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-samples FOLDER\n");
    return 2;
  }
  return WriteSample0(argv[1]) && WriteSample1(argv[1]) && WriteSample2(argv[1]) ? 0 : 1;
}
