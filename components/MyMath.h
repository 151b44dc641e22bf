// Small numeric helpers of the plots.
#pragma once

// The largest |value| among values[0 .. n-1], starting from 0 (so 0 for n <= 0),
// in single precision. NaN values never compare larger and are passed over.
float MaxAbs(int n, const float* values);
