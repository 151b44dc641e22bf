// Quantiles of Student's t distribution for any positive, also fractional,
// number of degrees of freedom (the intervals use Satterthwaite's fractional
// ones). The distribution function comes from the regularised incomplete beta
// function, summed as its continued fraction; the quantile is found by bisection,
// slow by numerical standards (well under a millisecond) but it cannot fail.
#pragma once

// The t with P(T ≤ t) = probability for 0.5 ≤ probability < 1 and degrees of
// freedom above 0; negative, not a number or out of range gives NaN.
double StudentTQuantile(double probability, double degreesOfFreedom);

// P(T ≤ t) for degrees of freedom above 0.
double StudentTDistribution(double t, double degreesOfFreedom);
