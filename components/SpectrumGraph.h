// The amplitude spectrum of a stretch on a TMyGraph: amplitude on a logarithmic
// axis of four decades under the highest bin shown (so a weak mode beside a
// strong one is still seen), against frequency on a linear axis from 0 to a full
// scale that shows the peaks with room beyond them; each peak as a triangle, the
// strongest labelled with its frequency. A click near a peak picks it.
#pragma once

#include <cstddef>
#include <optional>

#include "analysis/Spectrum.h"
#include "components/MyGraph.h"

// The frequency axis' full scale: past the highest peak by a quarter, or the
// whole spectrum when there is none.
double SpectrumFullScaleHz(const Spectrum& spectrum);

// Lays out `graph` for a picture of its canvas' size, scales it to `spectrum`
// and draws it on `background`. A failed or empty spectrum leaves an empty frame.
void DrawSpectrumGraph(TMyGraph& graph, const Spectrum& spectrum, Rgb background);

// The peak of `spectrum` (index into Peaks) a click at (x, y) on the graph as
// DrawSpectrumGraph left it picks: the nearest in x within reach, nearer in y
// on a tie.
std::optional<std::size_t> SpectrumPeakAt(const TMyGraph& graph, const Spectrum& spectrum, int x, int y);
// The pixel a peak is drawn at; nothing when the graph does not show it.
std::optional<CanvasPoint> SpectrumPeakPixel(const TMyGraph& graph, const Spectrum& spectrum, std::size_t peak);
