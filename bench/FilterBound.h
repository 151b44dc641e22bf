// The least time the band-pass filter's arithmetic can take on this machine,
// measured rather than assumed.
//
// Every output sample of the exact filter is a chain of N - 1 = 499 dependent
// steps, acc = (a + b) h + acc in double rounded to single precision: a record
// of C channels of S samples costs C x S x 499 steps (3.99e10 for 8 x 10^7). A
// step is at least six double operations: the sum, the product, the
// accumulation, and the rounding to single precision, which in double lanes
// takes three (Veltkamp's split: a multiplication and two subtractions). The
// conversion instructions are no cheaper (two conversions, which processors
// run on fewer units, at most one a cycle on those measured), and no fused
// multiply-add can merge two of the operations without changing the bits.
// The chains do not limit the rate: a record has far more outputs than a core
// needs to hide the latency of a step.
//
// So the bound is the time this machine takes for six double operations per
// step, at its best rate: FilterArithmeticSeconds runs that many independent
// additions and multiplications (half each, which the floating-point units
// take in parallel), in registers, on every core, and returns its time. A
// processor with four 256-bit floating-point pipes per core, two for
// multiplications and two for additions, does 16 such operations a cycle per
// core: 6 / 16 = 0.375 cycles per step. For 8 x 10^7 samples on two cores at
// 3.6 GHz that is 3.99e10 x 0.375 / 2 / 3.6e9 = 2.08 s.
#pragma once

// Double operations per filter step.
constexpr int kOperationsPerFilterStep = 6;

// Steps of the window's filter over `channels` x `samples`.
double FilterSteps(int channels, long long samples);

// Seconds (wall clock) this machine takes for the double operations of
// `steps` filter steps, run as independent operations on `threads` threads
// (0: one per core).
double FilterArithmeticSeconds(double steps, int threads = 0);
