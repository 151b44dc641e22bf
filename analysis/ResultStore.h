// The accepted (f, h) pairs behind the scatter plot and the averages shown on
// the main window. A fixed store of 100 pairs: a pair beyond them is not kept,
// and the caller is told so that it can tell the user.
#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int kStoreCapacity = 100;

enum class AddPointOutcome {
  Stored,
  Full,  // the store already held 100 pairs; the new one was not kept
};

struct ResultStore {
  std::int32_t NData = 0;  // meaningful entries of DataF and DataH
  std::array<float, kStoreCapacity> DataF{};  // Hz, in the order of acceptance
  std::array<float, kStoreCapacity> DataH{};
  float AveF = 0.0f;  // means of the last ComputeAverages
  float AveH = 0.0f;

  // Appends a pair and refreshes the averages (the caller replots).
  AddPointOutcome AddPoint(float f, float h);
  // Sums the stored pairs in single precision from zero, then divides by
  // NData; with no pairs the sums stay 0 and no division is made.
  void ComputeAverages();
  void Reset() { NData = 0; }
  // Takes the pair at `index` out (the later ones move up) and refreshes the
  // averages; false for an index the store does not hold.
  bool Remove(int index);
  // Puts a pair back at `index` (the later ones move down), as Remove took it
  // out; false when the store is full or the index is past its end.
  bool Insert(int index, float f, float h);
  bool Full() const { return NData >= kStoreCapacity; }
};

// Texts of Label23 ("%.3f" mean f), Label24 ("%.4f" mean h) and Label25
// (count followed by 回), as the averages leave them. Empty store: the labels
// keep their texts, so Valid is false.
struct AverageTexts {
  bool Valid = false;
  std::string MeanF;
  std::string MeanH;
  std::string Count;
};

AverageTexts AverageLabels(const ResultStore& store);
