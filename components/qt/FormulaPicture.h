// The picture of the formula button: the damped free-vibration model
//   y = A·e^(−h·ωn·t)·cos(√(1 − h²)·ωn·t + φ)
// typeset in black serif type on white (italic symbols, upright numbers and
// function names, a raised smaller exponent with its own subscript, a drawn
// radical with its bar), centred in a 388 × 52 truecolour image.
#pragma once

#include <QImage>

constexpr int kFormulaWidth = 388;
constexpr int kFormulaHeight = 52;

// Needs a QGuiApplication (fonts). With a device pixel ratio above 1 the
// picture holds that many more pixels each way (for a sharp button on a dense
// screen) and keeps its logical size.
QImage FormulaPicture(qreal devicePixelRatio = 1.0);
