#include "session/View.h"

#include <algorithm>

long long WindowSamples(double rate, float widthSeconds) {
  const double samples = rate * static_cast<double>(widthSeconds);
  if (!(samples > 0.0)) return 0;
  // Far beyond any record; keeps the conversion defined.
  constexpr double kLimit = 9.0e18;
  return samples >= kLimit ? static_cast<long long>(kLimit) : static_cast<long long>(samples);
}

int SelectChannels(ViewWindow& view, int channelCount) {
  // Only boxes of channels the record has count: a box left checked beyond the
  // channel count must not select a channel that does not exist.
  channelCount = std::clamp(channelCount, 0, kMaxChannels);
  int checked = 0;
  int firstChecked = 0;
  for (int c = channelCount - 1; c >= 0; --c) {
    if (view.Channels[c]) {
      ++checked;
      firstChecked = c;
    }
  }
  if (checked > 0) view.SingleChannel = checked == 1;
  if (checked == 1) view.SingleIndex = firstChecked;
  return checked;
}

void ApplyWidth(ViewWindow& view, const WidthChoice& choice) {
  view.Divisions = choice.Divisions;
  view.SecondsPerDivision = choice.SecondsPerDivision;
  view.WidthSeconds = static_cast<float>(choice.Divisions * choice.SecondsPerDivision);
}

void ApplyWidthSeconds(ViewWindow& view, float widthSeconds) {
  for (const auto* table : {kStandardWidths, kShortWidths}) {
    for (int i = 0; i < kWidthChoices; ++i) {
      if (static_cast<float>(table[i].Divisions * table[i].SecondsPerDivision) == widthSeconds) {
        ApplyWidth(view, table[i]);
        return;
      }
    }
  }
  constexpr int kDivisions = 5;
  view.Divisions = kDivisions;
  view.SecondsPerDivision = static_cast<float>(widthSeconds / static_cast<double>(kDivisions));
  view.WidthSeconds = widthSeconds;
}
