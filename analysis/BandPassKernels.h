// Inner loops of the band-pass FIR filter, one per instruction set and rounding
// method. Shared by the filter units and their tests only.
//
// Every kernel computes outputs y[begin .. end-1] from a padded copy of the
// channel in double: xc[k] is sample k for 0 <= k < count and +0.0 for the N - 1
// places before and after, so the ends need no test. hd holds h[0 .. N-1]
// widened to double. The sum (a + b) h[j] + acc is evaluated in double and acc
// is rounded to single precision after every step, exactly as the reference
// loop does; the vector kernels run that same sequence in each lane, one lane
// per output sample, several blocks of lanes at once to hide the latency of the
// dependent chain.
//
// Two ways to round a double t to single precision (and back to double):
//  - Convert: the conversion instructions; always exact.
//  - Split: Veltkamp's splitting, c = t (2^29 + 1), hi = c - (c - t), which
//    keeps the upper 24 bits of t rounded to nearest, ties to even. It equals
//    the conversion as long as every t is zero or a normal single-precision
//    magnitude (no subnormal result, no overflow) and finite; the caller proves
//    that from the data's range before choosing it (see FirSplitIsExact).
//
// This header includes no standard-library header on purpose: the AVX2 unit is
// compiled for AVX2, and an inline library function instantiated there could be
// picked by the linker for the whole program. (The AVX-512 unit marks its
// functions instead, for the same reason.)
#pragma once

// 2^29 + 1: splits a double's 53-bit significand into 24 upper bits and the rest.
inline constexpr double kSplitFactor = 536870913.0;

// One output sample by the plain sequence; used for the few samples a vector
// kernel leaves over. Defined in BandPassFir.cpp (baseline instruction set).
float FirOutputScalar(int N, const double* hd, const double* xc, int i);

// The split rounding for one value, as the vector kernels do it in every lane.
double FirSplitRound(double t);

void FirBlocksScalar(int N, const double* hd, const double* xc, float* y, int begin, int end);
void FirBlocksSse2Convert(int N, const double* hd, const double* xc, float* y, int begin,
                          int end);
void FirBlocksSse2Split(int N, const double* hd, const double* xc, float* y, int begin, int end);
void FirBlocksAvx2Convert(int N, const double* hd, const double* xc, float* y, int begin,
                          int end);
void FirBlocksAvx2Split(int N, const double* hd, const double* xc, float* y, int begin, int end);
void FirBlocksAvx512Convert(int N, const double* hd, const double* xc, float* y, int begin,
                            int end);
void FirBlocksAvx512Split(int N, const double* hd, const double* xc, float* y, int begin,
                          int end);
