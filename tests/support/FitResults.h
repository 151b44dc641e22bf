// A FitResult from the five numbers a results row prints, for tests of rows.
#pragma once

#include "analysis/DampedFit.h"

inline FitResult ResultOf(float a, float wn, float h, float phi, float ratio) {
  FitResult result;
  result.A = a;
  result.Wn = wn;
  result.H = h;
  result.Phi = phi;
  result.Ratio = ratio;
  return result;
}
