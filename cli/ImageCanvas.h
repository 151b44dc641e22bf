// The picture the command line draws on: Qt's image canvas, from the module
// loaded the first time a command draws (see components/qt/CanvasModule.h).
#pragma once

#include <string>

#include "components/Canvas.h"

// The entry points of a loaded module, or why it cannot be used.
struct CanvasModule {
  Canvas* (*create)(int, int) = nullptr;
  void (*destroy)(Canvas*) = nullptr;
  std::string error;  // Japanese, when not usable
  bool Usable() const { return create != nullptr && destroy != nullptr; }
};

// Where the module is: beside the program, as the build and the package lay it.
std::string CanvasModulePath();

// Loads the module at `path` and checks that it is the one this program was
// built with. Failures are reported, never fatal, however often it is tried.
CanvasModule LoadCanvasModule(const std::string& path);

class ImageCanvas {
 public:
  // A white picture of the given size. On failure Get() is null and Error()
  // says why, in Japanese.
  ImageCanvas(int width, int height);
  // Deletes the picture (the last one ends the GUI application the module
  // started).
  ~ImageCanvas();
  ImageCanvas(const ImageCanvas&) = delete;
  ImageCanvas& operator=(const ImageCanvas&) = delete;

  Canvas* Get() const { return canvas_; }
  const std::string& Error() const { return error_; }

 private:
  Canvas* canvas_ = nullptr;
  void (*destroy_)(Canvas*) = nullptr;
  std::string error_;
};
