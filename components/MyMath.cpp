#include "components/MyMath.h"

#include <cmath>

float MaxAbs(int n, const float* values) {
  float m = 0.0f;
  for (int i = 0; i < n; ++i) {
    const float a = std::fabs(values[i]);
    if (a > m) m = a;
  }
  return m;
}
