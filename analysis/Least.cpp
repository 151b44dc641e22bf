#include "analysis/Least.h"

#include <cmath>
#include <utility>


void LeastWork::Reserve(int stride) {
  const std::size_t size = stride < 0 ? 1 : static_cast<std::size_t>(stride) + 1;
  if (Values.size() < 3 * size) Values.resize(3 * size);
  if (Pivots.size() < size) Pivots.resize(size);
}

namespace {

void ReportParameterError(bool* parameterError) {
  if (parameterError != nullptr) *parameterError = true;
}

}  // namespace

int lleast(float* a, int stride, int m, int n, float* b, float eps, bool* parameterError) {
  LeastWork work;
  return lleast(a, stride, m, n, b, eps, work, parameterError);
}

int lleast(float* a, int stride, int m, int n, float* b, float eps, LeastWork& work,
           bool* parameterError) {
  // A shape that would index outside the caller's arrays is refused at once.
  if (n < 1 || stride < n || m < 0) {
    ReportParameterError(parameterError);
    return kLeastRankDeficient;
  }
  // Fewer equations than unknowns: reported, then the reduction goes on and
  // stops with status 10 at the step that finds no rows left.
  if (m < n) ReportParameterError(parameterError);

  work.Reserve(stride);
  float* norm = work.Values.data();       // norms, then d_j once column j is reduced
  float* w = work.Values.data() + n - 1;  // w[c] for c = j+1 ... n-1 sits at n + c - 1
  float* tolerance = work.Values.data() + 2 * n;
  int* pivot = work.Pivots.data();
  auto at = [a, stride](int row, int col) -> float& {
    return a[static_cast<std::size_t>(row) * stride + col];
  };
  // One term added to a single-precision sum: the product is exact in double,
  // the sum is rounded when it is stored.
  auto addProduct = [](float sum, float x, float y) {
    return static_cast<float>(sum + static_cast<double>(x) * y);
  };

  for (int c = 0; c < n; ++c) {
    float sum = 0.0f;
    for (int i = 0; i < m; ++i) sum = addProduct(sum, at(i, c), at(i, c));
    norm[c] = sum;
    pivot[c] = c;
    // eps for a column of unit mean square or more, as the tolerance always
    // was; below that, eps times the mean square: the same decision, relative
    // to the column's size. Only ever smaller than eps, never larger.
    const double meanSquare = m > 0 ? static_cast<double>(sum) / m : 0.0;
    tolerance[c] = meanSquare < 1.0 ? static_cast<float>(eps * meanSquare) : eps;
  }

  for (int j = 0; j < n; ++j) {
    // Largest remaining norm; on equal norms the later column wins.
    float best = -1.0f;
    int k = j;
    for (int c = j; c < n; ++c) {
      if (norm[c] >= best) {
        best = norm[c];
        k = c;
      }
    }
    if (k != j) {
      pivot[j] = k;
      norm[k] = norm[j];
      std::swap(tolerance[j], tolerance[k]);
      for (int i = 0; i < m; ++i) std::swap(at(i, j), at(i, k));
    }

    // Squared norm of what is left of the pivot column, summed afresh: the
    // downdated norms only steer the pivot choice.
    float s = 0.0f;
    for (int i = j; i < m; ++i) s = addProduct(s, at(i, j), at(i, j));
    if (j >= m || !(s > tolerance[j])) return kLeastRankDeficient;

    // Reflection I - beta·u·uᵀ mapping the column onto d·e_j; d takes the sign
    // opposite to the diagonal element so that a[j][j] - d does not cancel.
    const float ajj = at(j, j);
    const float d = ajj >= 0.0f ? static_cast<float>(-std::sqrt(static_cast<double>(s)))
                                : static_cast<float>(std::sqrt(static_cast<double>(s)));
    const float beta = static_cast<float>(1.0 / (static_cast<double>(s) - static_cast<double>(ajj) * d));
    at(j, j) = static_cast<float>(static_cast<double>(ajj) - d);
    norm[j] = d;

    for (int c = j + 1; c < n; ++c) {
      float sum = 0.0f;
      for (int i = j; i < m; ++i) sum = addProduct(sum, at(i, c), at(i, j));
      w[c] = static_cast<float>(static_cast<double>(beta) * sum);
    }
    for (int c = j + 1; c < n; ++c) {
      for (int i = j; i < m; ++i) {
        at(i, c) = static_cast<float>(at(i, c) - static_cast<double>(w[c]) * at(i, j));
      }
      norm[c] = static_cast<float>(norm[c] - static_cast<double>(at(j, c)) * at(j, c));
    }
  }

  // Qᵀ·b, one reflection after the other: d_j·u_j equals -1/beta of step j,
  // so this subtracts beta·(u·b)·u.
  for (int j = 0; j < n; ++j) {
    float sigma = 0.0f;
    for (int i = j; i < m; ++i) sigma = addProduct(sigma, at(i, j), b[i]);
    sigma = static_cast<float>(sigma / (static_cast<double>(norm[j]) * at(j, j)));
    for (int i = j; i < m; ++i) b[i] = static_cast<float>(b[i] + static_cast<double>(sigma) * at(i, j));
  }

  // R·x = (Qᵀ·b)[0 ... n-1], R's diagonal in norm[], the rest above a's diagonal.
  b[n - 1] = static_cast<float>(static_cast<double>(b[n - 1]) / norm[n - 1]);
  for (int i = n - 2; i >= 0; --i) {
    float sum = 0.0f;
    for (int c = i + 1; c < n; ++c) sum = addProduct(sum, at(i, c), b[c]);
    b[i] = static_cast<float>((static_cast<double>(b[i]) - sum) / norm[i]);
  }

  for (int i = n - 1; i >= 0; --i) std::swap(b[i], b[pivot[i]]);
  return kLeastSolved;
}
