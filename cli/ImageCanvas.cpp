#include "cli/ImageCanvas.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "components/qt/CanvasModule.h"

namespace {

// The module's folder relative to the program's, the same in the build tree
// and when installed (set by the build).
#ifndef OSCALYX_MODULE_FROM_BIN
#define OSCALYX_MODULE_FROM_BIN "../lib/oscalyx"
#endif

std::string ModulePath() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return kCanvasModuleName;
  const std::string program(self, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + OSCALYX_MODULE_FROM_BIN + "/" + kCanvasModuleName;
}

}  // namespace

ImageCanvas::ImageCanvas(int width, int height) {
  // Loaded once and kept: Qt does not take being unloaded.
  static void* module = ::dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    error_ = std::string("描画用のモジュールを読み込めません：") + ::dlerror() + "。";
    return;
  }
  auto create = reinterpret_cast<Canvas* (*)(int, int)>(::dlsym(module, kNewCanvasSymbol));
  delete_ = reinterpret_cast<void (*)(Canvas*)>(::dlsym(module, kDeleteCanvasSymbol));
  if (create == nullptr || delete_ == nullptr) {
    error_ = "描画用のモジュールが正しくありません。";
    return;
  }
  canvas_ = create(width, height);
  if (canvas_ == nullptr) error_ = "描画の準備ができません（Qtのアプリケーションを開始できません）。";
}

ImageCanvas::~ImageCanvas() {
  if (canvas_ != nullptr) delete_(canvas_);
}
