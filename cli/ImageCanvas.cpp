#include "cli/ImageCanvas.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "components/qt/CanvasModule.h"

// The module's folder relative to the program's, the same in the build tree
// and when installed (set by the build).
#ifndef OSCALYX_MODULE_FROM_BIN
#define OSCALYX_MODULE_FROM_BIN "../lib/oscalyx"
#endif

std::string CanvasModulePath() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return kCanvasModuleName;
  const std::string program(self, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + OSCALYX_MODULE_FROM_BIN + "/" + kCanvasModuleName;
}

CanvasModule LoadCanvasModule(const std::string& path) {
  CanvasModule module;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    module.error = "描画用のモジュール「" + path + "」を読み込めません" +
                   (reason != nullptr ? std::string("（") + reason + "）" : std::string()) + "。";
    return module;
  }
  auto version = reinterpret_cast<int (*)()>(::dlsym(handle, kCanvasModuleVersionSymbol));
  module.create = reinterpret_cast<Canvas* (*)(int, int)>(::dlsym(handle, kNewCanvasSymbol));
  module.destroy = reinterpret_cast<void (*)(Canvas*)>(::dlsym(handle, kDeleteCanvasSymbol));
  if (version == nullptr || module.create == nullptr || module.destroy == nullptr ||
      version() != kCanvasModuleInterface) {
    // Another build's module: its Canvas may not be ours. Kept loaded, as Qt
    // inside it does not take being unloaded.
    module.create = nullptr;
    module.destroy = nullptr;
    module.error = "描画用のモジュール「" + path + "」がこのプログラムと合いません（別の版のものです）。";
  }
  return module;
}

ImageCanvas::ImageCanvas(int width, int height) {
  // Loaded once per process and kept, with the reason when it failed.
  static const CanvasModule module = LoadCanvasModule(CanvasModulePath());
  if (!module.Usable()) {
    error_ = module.error;
    return;
  }
  destroy_ = module.destroy;
  canvas_ = module.create(width, height);
  if (canvas_ == nullptr) error_ = "描画の準備ができません（Qtのアプリケーションを開始できません）。";
}

ImageCanvas::~ImageCanvas() {
  if (canvas_ != nullptr) destroy_(canvas_);
}
