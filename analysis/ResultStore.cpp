#include "analysis/ResultStore.h"

#include <string>

#include "analysis/FixedText.h"

AddPointOutcome ResultStore::AddPoint(float f, float h) {
  if (NData < 0) NData = 0;
  if (Full()) return AddPointOutcome::Full;
  DataF[static_cast<std::size_t>(NData)] = f;
  DataH[static_cast<std::size_t>(NData)] = h;
  ++NData;
  ComputeAverages();
  return AddPointOutcome::Stored;
}

bool ResultStore::Remove(int index) {
  if (index < 0 || index >= NData) return false;
  for (int i = index; i + 1 < NData; ++i) {
    DataF[static_cast<std::size_t>(i)] = DataF[static_cast<std::size_t>(i) + 1];
    DataH[static_cast<std::size_t>(i)] = DataH[static_cast<std::size_t>(i) + 1];
  }
  --NData;
  ComputeAverages();
  return true;
}

bool ResultStore::Insert(int index, float f, float h) {
  if (NData < 0) NData = 0;
  if (Full() || index < 0 || index > NData) return false;
  for (int i = NData; i > index; --i) {
    DataF[static_cast<std::size_t>(i)] = DataF[static_cast<std::size_t>(i) - 1];
    DataH[static_cast<std::size_t>(i)] = DataH[static_cast<std::size_t>(i) - 1];
  }
  DataF[static_cast<std::size_t>(index)] = f;
  DataH[static_cast<std::size_t>(index)] = h;
  ++NData;
  ComputeAverages();
  return true;
}

void ResultStore::ComputeAverages() {
  const std::int32_t n = NData < 0 ? 0 : (NData > kStoreCapacity ? kStoreCapacity : NData);
  AveF = 0.0f;
  AveH = 0.0f;
  for (std::int32_t i = 0; i < n; ++i) {
    AveF = AveF + DataF[static_cast<std::size_t>(i)];
    AveH = AveH + DataH[static_cast<std::size_t>(i)];
  }
  if (n == 0) return;
  AveF = AveF / static_cast<float>(n);
  AveH = AveH / static_cast<float>(n);
}

AverageTexts AverageLabels(const ResultStore& store) {
  AverageTexts texts;
  if (store.NData <= 0) return texts;
  texts.Valid = true;
  texts.MeanF = FormatFixed(store.AveF, 3);
  texts.MeanH = FormatFixed(store.AveH, 4);
  texts.Count = std::to_string(store.NData) + "回";
  return texts;
}
