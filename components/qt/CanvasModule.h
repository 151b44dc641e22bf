// The image canvas as a loadable module. oscalyx-cli draws on Qt's canvas
// only for `plot` and the pictures of `sweep`; its other commands start
// without loading Qt at all. The module starts a GUI application of its own
// (offscreen unless QT_QPA_PLATFORM says otherwise) when the process has none,
// for the fonts the text needs.
#pragma once

class Canvas;

// The module's file name, and the names of its two entry points.
inline constexpr char kCanvasModuleName[] = "liboscalyx-canvas.so";
inline constexpr char kNewCanvasSymbol[] = "OscalyxNewImageCanvas";
inline constexpr char kDeleteCanvasSymbol[] = "OscalyxDeleteImageCanvas";

extern "C" {
// A white picture of the given size; null when no GUI application can start.
Canvas* OscalyxNewImageCanvas(int width, int height);
// Deletes a picture; with the last one gone, ends the application the module
// started, if it started one.
void OscalyxDeleteImageCanvas(Canvas* canvas);
}
