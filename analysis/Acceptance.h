// What an evaluation leaves behind: whether it is accepted (ratio above 0.9),
// the texts of the result labels, the next initial values, and the texts the
// evaluation writes onto the plot. Toolkit-free; the window copies the texts
// into its controls.
#pragma once

#include <array>
#include <string>

#include "analysis/DampedFit.h"

constexpr double kAcceptRatio = 0.9;  // compared in double: a ratio stored as 0.9f is rejected
constexpr double kNextInitialFactor = 1.05;

// ratio > 0.9, strictly; a ratio that is not a number is rejected.
bool IsAccepted(float ratio);

struct AcceptanceStep {
  bool Accepted = false;
  float F = 0.0f;  // the pair for the scatter store (accepted only)
  float H = 0.0f;
  // Label28 / Label29: f "%.3f" and h "%.4f", or "failed". Label28's text also
  // goes to the band-pass centre box when accepted.
  std::string LastF;
  std::string LastH;
  // EdInitF / EdInitH for the next evaluation (accepted only; otherwise the
  // boxes keep what they hold).
  std::string NextInitF;
  std::string NextInitH;
};

AcceptanceStep AcceptResult(const FitResult& result);

// The initial frequency a load offers: a fiftieth of the sampling rate, as the
// text "%.1f" the initial-value box shows, and the number that text reads as
// (what an evaluation from the box starts from).
std::string InitialFrequencyText(double rate);
double InitialFrequency(double rate);

// One text line drawn on the plot, at pixel (X, Y) of the plot area.
struct ResultLine {
  int X = 0;
  int Y = 0;
  std::string Text;  // UTF-8
};

// The seven lines A, ωn, f, T, h, φ and ratio.
std::array<ResultLine, 7> ResultLines(const FitResult& result);

// Label19: the ratio in percent, "%.1f％" (full-width percent sign).
std::string RatioPercentText(float ratio);
