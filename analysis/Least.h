// Linear least squares by Householder triangularisation with column pivoting.
// Pivoting takes the column of largest remaining norm first, so a column that
// is (nearly) a combination of others is met last and reported as rank
// deficiency (status 10) instead of producing a huge, meaningless correction.
// The rank decision is relative to each column's own size below unit scale, so
// that data in small units (accelerations in g, in m/s²) are judged as data
// of order one are; a column of unit size or more is judged as it always was.
//
// Precision: matrix, right-hand side and work storage are single precision;
// every expression is evaluated in double and rounded when stored, and every
// sum is accumulated in a single-precision variable.
#pragma once

#include <vector>

// Working storage of one solve; sized for a row length and reused when a
// caller solves many systems of the same shape.
struct LeastWork {
  // First n: squared column norms, then the diagonal of R; n ... 2n-2: the
  // reflection coefficients of the current step; from 2n: each column's
  // tolerance, fixed before the first step.
  std::vector<float> Values;
  // Entry j: the column exchanged with column j at step j (j itself if none).
  std::vector<int> Pivots;

  void Reserve(int stride);
};

constexpr int kLeastSolved = 0;
constexpr int kLeastRankDeficient = 10;

// Minimises |a·x - b| for the m × n matrix a (row after row, row length
// stride). On status 0 the first n entries of b hold x in the order of the
// columns as passed in; a and b are overwritten either way. Status 10: a pivot
// column's remaining squared norm was at most eps·min(1, q), q the column's
// mean square as passed in (or the norm was not a number). Since the
// tolerance never exceeds eps, every system solved with the plain eps test is
// solved the same way, to the bit.
// Arguments outside n ≥ 1, n ≤ stride, m ≥ n give status 10 and set
// *parameterError (when given), for the caller to show kLeastParameterText.
int lleast(float* a, int stride, int m, int n, float* b, float eps, bool* parameterError = nullptr);

// The same with caller-provided storage, so repeated solves allocate nothing.
int lleast(float* a, int stride, int m, int n, float* b, float eps, LeastWork& work,
           bool* parameterError = nullptr);

// What a caller shows for a parameter error: the text and title of a plain
// message box.
inline constexpr char kLeastParameterText[] = "lleast parameter error";
inline constexpr char kLeastParameterTitle[] = "LLeast Error";
