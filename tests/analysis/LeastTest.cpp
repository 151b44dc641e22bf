#include "analysis/Least.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>


namespace {

// Row-major matrix from columns, padded to `stride` with `pad`.
std::vector<float> FromColumns(const std::vector<std::vector<float>>& columns, int stride, float pad = 0.0f) {
  const std::size_t m = columns[0].size();
  std::vector<float> a(m * static_cast<std::size_t>(stride), pad);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    for (std::size_t i = 0; i < m; ++i) a[i * static_cast<std::size_t>(stride) + c] = columns[c][i];
  }
  return a;
}

// A well-conditioned 100 × 4 matrix, like a fit's Jacobian in size.
std::vector<float> TallMatrix() {
  std::vector<float> a(400);
  for (int i = 0; i < 100; ++i) {
    const double t = i * 0.05;
    a[i * 4 + 0] = static_cast<float>(std::exp(-0.3 * t) * std::cos(3.7 * t));
    a[i * 4 + 1] = static_cast<float>(std::sin(1.3 * t) + 0.2);
    a[i * 4 + 2] = static_cast<float>(t - 2.4);
    a[i * 4 + 3] = static_cast<float>(std::cos(0.45 * t * t));
  }
  return a;
}

TEST(LleastTest, SolvesRegularSquareSystemExactly) {
  // x = (0.7, -1.3, 2.5) for the integer matrix below.
  std::vector<float> a = {4, -2, 1,  //
                          3, 6, -4,  //
                          2, 1, 8};
  const double x[3] = {0.7, -1.3, 2.5};
  std::vector<float> b(3);
  for (int i = 0; i < 3; ++i) b[i] = static_cast<float>(a[i * 3] * x[0] + a[i * 3 + 1] * x[1] + a[i * 3 + 2] * x[2]);
  bool parameterError = false;
  ASSERT_EQ(lleast(a.data(), 3, 3, 3, b.data(), 1e-6f, &parameterError), 0);
  EXPECT_NEAR(b[0], 0.7, 2e-6);
  EXPECT_NEAR(b[1], -1.3, 2e-6);
  EXPECT_NEAR(b[2], 2.5, 2e-6);
  EXPECT_FALSE(parameterError);
}

TEST(LleastTest, OverdeterminedSolutionHasOrthogonalResidualAndReportsItsNorm) {
  const std::vector<float> original = TallMatrix();
  const double x[4] = {1.8, -0.45, 0.3, 2.2};
  std::vector<float> rhs(100);
  for (int i = 0; i < 100; ++i) {
    double v = std::sin(i * 1.7) * 0.05;  // a residual the columns cannot explain
    for (int c = 0; c < 4; ++c) v += original[i * 4 + c] * x[c];
    rhs[i] = static_cast<float>(v);
  }
  std::vector<float> a = original;
  std::vector<float> b = rhs;
  ASSERT_EQ(lleast(a.data(), 4, 100, 4, b.data(), 1e-6f), 0);

  // Normal equations: Jᵀ(r - J·x) = 0, up to single-precision rounding.
  double residualSquares = 0.0;
  std::vector<double> residual(100);
  for (int i = 0; i < 100; ++i) {
    double v = rhs[i];
    for (int c = 0; c < 4; ++c) v -= static_cast<double>(original[i * 4 + c]) * b[c];
    residual[i] = v;
    residualSquares += v * v;
  }
  for (int c = 0; c < 4; ++c) {
    double dot = 0.0;
    for (int i = 0; i < 100; ++i) dot += original[i * 4 + c] * residual[i];
    EXPECT_NEAR(dot, 0.0, 2e-4) << "column " << c;
  }
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(b[c], x[c], 0.05) << "unknown " << c;
  // The entries past the solution carry the part of b outside the columns.
  double tail = 0.0;
  for (int i = 4; i < 100; ++i) tail += static_cast<double>(b[i]) * b[i];
  EXPECT_NEAR(tail, residualSquares, residualSquares * 1e-3);
}

TEST(LleastTest, ZeroColumnIsChosenLastAndReported) {
  // Columns 0 and 2 are reduced first; the zero column ends the call at step 2.
  std::vector<float> a = FromColumns({{1.5f, -0.5f, 2.0f, 0.25f}, {0, 0, 0, 0}, {0.3f, 1.1f, -0.7f, 0.9f}}, 3);
  std::vector<float> b = {1, 2, 3, 4};
  bool parameterError = false;
  EXPECT_EQ(lleast(a.data(), 3, 4, 3, b.data(), 1e-6f, &parameterError), 10);
  // The zero column was swapped to the last place; the two others hold their
  // reflection vectors below the diagonal.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i * 3 + 2], 0.0f) << "row " << i;
  EXPECT_FALSE(parameterError);
}

TEST(LleastTest, IdenticalColumnsAreRankDeficient) {
  const std::vector<float> column = {0.8f, -1.2f, 0.45f, 1.7f, -0.3f, 0.95f};
  std::vector<float> a = FromColumns({column, {0.1f, 0.4f, -0.9f, 0.2f, 1.1f, -0.6f}, column}, 3);
  std::vector<float> b = {1, 0, 1, 0, 1, 0};
  EXPECT_EQ(lleast(a.data(), 3, 6, 3, b.data(), 1e-6f), 10);
}

// The rank decision scales with a column below unit size: a small column
// that is independent of the others is solved (its coefficient as large as
// its smallness asks), one that depends on another is refused, at every
// scale alike. At unit size and above the absolute tolerance stays.
TEST(LleastTest, RankDecisionIsRelativeToTheColumnsSize) {
  const std::vector<float> u = {0.8f, -1.2f, 0.45f, 1.7f, -0.3f, 0.95f};
  const std::vector<float> v = {0.1f, 0.4f, -0.9f, 0.2f, 1.1f, -0.6f};
  // b = 0.7·u + 1.3·v: with column 0 = s·u the solution is (0.7 / s, 1.3).
  std::vector<float> rhs(6);
  for (std::size_t i = 0; i < 6; ++i) rhs[i] = 0.7f * u[i] + 1.3f * v[i];
  auto scaled = [](const std::vector<float>& column, double s) {
    std::vector<float> out;
    for (const float x : column) out.push_back(static_cast<float>(x * s));
    return out;
  };
  for (const double s : {1.0, 1e-3, 4.5e-4, 1e-6, 1e-9}) {
    std::vector<float> a = FromColumns({scaled(u, s), v}, 2);
    std::vector<float> b = rhs;
    ASSERT_EQ(lleast(a.data(), 2, 6, 2, b.data(), 1e-6f), 0) << s;
    EXPECT_NEAR(b[0] * s, 0.7, 1e-5) << s;
    EXPECT_NEAR(b[1], 1.3, 1e-5) << s;

    // The same small column twice, and a second one that differs from it by
    // a millionth of its size: dependent at any scale.
    for (const double part : {0.0, 1e-6}) {
      std::vector<float> nearly = scaled(u, s);
      for (std::size_t i = 0; i < 6; ++i) nearly[i] = static_cast<float>(nearly[i] + part * s * v[i]);
      std::vector<float> d = FromColumns({scaled(u, s), nearly, v}, 3);
      std::vector<float> e = rhs;
      EXPECT_EQ(lleast(d.data(), 3, 6, 3, e.data(), 1e-6f), 10) << s << " " << part;
    }
  }
  // Columns of entries about 30: what is left of a nearly dependent one is
  // judged against eps itself, as before (squared norm about 3e-7).
  std::vector<float> big = scaled(u, 30.0);
  std::vector<float> nearBig = big;
  for (std::size_t i = 0; i < 6; ++i) nearBig[i] = static_cast<float>(nearBig[i] + 3e-4 * v[i]);
  std::vector<float> a = FromColumns({big, nearBig}, 2);
  std::vector<float> b = rhs;
  EXPECT_EQ(lleast(a.data(), 2, 6, 2, b.data(), 1e-6f), 10);
}

TEST(LleastTest, EqualNormsTakeTheLaterColumnFirst) {
  // Both columns have squared norm 9. Taken first, column 1 leaves
  // u0 = 2 - (-3) = 5 in a[0][0]; column 0 would leave 1 + 3 = 4.
  std::vector<float> a = FromColumns({{1, 2, 2, 0}, {2, 1, 0, 2}}, 2);
  std::vector<float> b = {3.1f, 2.2f, 1.0f, 1.9f};
  ASSERT_EQ(lleast(a.data(), 2, 4, 2, b.data(), 1e-6f), 0);
  EXPECT_EQ(a[0], 5.0f);

  // The solution comes back in the caller's column order: against the same
  // system with the columns exchanged, the unknowns swap places.
  std::vector<float> swapped = FromColumns({{2, 1, 0, 2}, {1, 2, 2, 0}}, 2);
  std::vector<float> b2 = {3.1f, 2.2f, 1.0f, 1.9f};
  ASSERT_EQ(lleast(swapped.data(), 2, 4, 2, b2.data(), 1e-6f), 0);
  EXPECT_NEAR(b[0], b2[1], 1e-6);
  EXPECT_NEAR(b[1], b2[0], 1e-6);
  // Normal equations of this small system: [9 4; 4 9]·x = [9.5 12.2].
  EXPECT_NEAR(b[0], (9 * 9.5 - 4 * 12.2) / 65.0, 1e-5);
  EXPECT_NEAR(b[1], (9 * 12.2 - 4 * 9.5) / 65.0, 1e-5);
}

TEST(LleastTest, ZeroDiagonalTakesTheNegativeRoot) {
  // Column 0 (norm 25) is the pivot; its diagonal is 0, so d = -5 and u0 = 5.
  std::vector<float> a = FromColumns({{0, 3, 4}, {1, 1, 0.5f}}, 2);
  std::vector<float> b = {1, 3, 4.5f};
  ASSERT_EQ(lleast(a.data(), 2, 3, 2, b.data(), 1e-6f), 0);
  EXPECT_EQ(a[0], 5.0f);
}

TEST(LleastTest, WiderRowsLeavePaddingUntouched) {
  const float pad = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> a = FromColumns({{2, 0, 1, 1}, {0, 3, 1, -1}}, 5, pad);
  std::vector<float> b = {2 * 0.7f, 3 * -0.4f, 0.7f - 0.4f, 0.7f + 0.4f};
  ASSERT_EQ(lleast(a.data(), 5, 4, 2, b.data(), 1e-6f), 0);
  EXPECT_NEAR(b[0], 0.7, 1e-6);
  EXPECT_NEAR(b[1], -0.4, 1e-6);
  for (int i = 0; i < 4; ++i) {
    for (int c = 2; c < 5; ++c) EXPECT_TRUE(std::isnan(a[i * 5 + c]));
  }
}

TEST(LleastTest, NotANumberIsRankDeficiency) {
  std::vector<float> a = FromColumns({{1, 2, std::numeric_limits<float>::quiet_NaN()}, {0.5f, -1, 2}}, 2);
  std::vector<float> b = {1, 2, 3};
  EXPECT_EQ(lleast(a.data(), 2, 3, 2, b.data(), 1e-6f), 10);
}

TEST(LleastTest, FewerEquationsThanUnknownsShowsTheParameterError) {
  std::vector<float> a(12, 1.0f);
  for (int i = 0; i < 12; ++i) a[i] = static_cast<float>(i % 5) - 1.5f;
  std::vector<float> b = {1, 2, 3};
  bool parameterError = false;
  EXPECT_EQ(lleast(a.data(), 4, 3, 4, b.data(), 1e-6f, &parameterError), 10);
  EXPECT_TRUE(parameterError);

  // Also with a negative tolerance, which no remaining norm can fall below:
  // the step without rows ends the call instead of reading past the matrix.
  std::vector<float> b2 = {1, 2, 3};
  EXPECT_EQ(lleast(a.data(), 4, 3, 4, b2.data(), -1.0f), 10);
}

TEST(LleastTest, ShapesThatWouldIndexOutsideAreRefused) {
  std::vector<float> a(8, 1.0f);
  std::vector<float> b(4, 1.0f);
  bool parameterError = false;
  EXPECT_EQ(lleast(a.data(), 2, 4, 0, b.data(), 1e-6f, &parameterError), 10);  // no unknowns
  EXPECT_EQ(lleast(a.data(), 1, 4, 2, b.data(), 1e-6f, &parameterError), 10);  // row shorter than n
  EXPECT_TRUE(parameterError);
  EXPECT_EQ(a, std::vector<float>(8, 1.0f));
  EXPECT_EQ(b, std::vector<float>(4, 1.0f));
}

}  // namespace
