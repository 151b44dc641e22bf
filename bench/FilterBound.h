// The least time the band-pass filter's arithmetic can take on this machine,
// measured rather than assumed.
//
// Every output sample of the exact filter is a chain of N - 1 = 499 dependent
// steps, acc = (a + b) h + acc in double rounded to single precision: a record
// of C channels of S samples costs C x S x 499 steps (3.99e10 for 8 x 10^7). A
// step is at least six double operations: the sum, the product, the
// accumulation and a rounding to single precision, which in double lanes takes
// three (Veltkamp's split: multiply, subtract, subtract); the conversion
// instructions are no cheaper (two conversions, at most one per cycle on the
// processors measured, against three operations that any floating-point unit
// takes). No fused multiply-add can merge them without changing the bits.
//
// The bound runs exactly these six operations per step, with the same chains
// of dependent steps, on every core, with the operands in registers: no
// memory traffic, no loop over taps, nothing but the arithmetic. Its time for
// the record's number of steps is the bound; the filter's time over it is how
// close the filter comes to the machine. On a processor with four 256-bit
// floating-point pipes per core (16 double operations a cycle) the bound works
// out at 6 / 16 = 0.375 cycles per step per core.
#pragma once

// Runs `steps` filter steps of arithmetic spread over `threads` threads (0:
// one per core) and returns the seconds taken (wall clock).
double FilterArithmeticSeconds(double steps, int threads = 0);

// Steps of the window's filter over `channels` x `samples`.
double FilterSteps(int channels, long long samples);
