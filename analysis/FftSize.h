// Transform lengths the mixed-radix FFT handles fastest.
#pragma once

#include <algorithm>
#include <cstddef>

// The smallest length ≥ n whose only prime factors are 2, 3 and 5.
inline std::size_t FastFftSize(std::size_t n) {
  for (std::size_t m = std::max<std::size_t>(n, 1);; ++m) {
    std::size_t r = m;
    for (const std::size_t p : {2, 3, 5}) {
      while (r % p == 0) r /= p;
    }
    if (r == 1) return m;
  }
}
