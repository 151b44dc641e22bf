#include "cli/ReportModule.h"

#include <dlfcn.h>

#include "cli/ImageCanvas.h"
#include "components/qt/CanvasModule.h"

namespace {

struct ReportEntries {
  bool (*write)(const ReportContent*, int, const char*, std::string*) = nullptr;
  void (*reportOperator)(std::string*) = nullptr;
  std::string error;
};

// Looked up once; the module stays loaded (Qt inside it does not take being
// unloaded).
const ReportEntries& Entries() {
  static const ReportEntries entries = [] {
    ReportEntries found;
    const std::string path = CanvasModulePath();
    const CanvasModule module = LoadCanvasModule(path);  // checks that it is this build's
    if (!module.Usable()) {
      found.error = module.error;
      return found;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (handle != nullptr) {
      found.write = reinterpret_cast<decltype(found.write)>(::dlsym(handle, kWriteReportSymbol));
      found.reportOperator = reinterpret_cast<decltype(found.reportOperator)>(::dlsym(handle, kReportOperatorSymbol));
    }
    if (found.write == nullptr || found.reportOperator == nullptr) {
      found.write = nullptr;
      found.reportOperator = nullptr;
      found.error = "描画用のモジュール「" + path + "」に報告書の描画がありません（別の版のものです）。";
    }
    return found;
  }();
  return entries;
}

}  // namespace

std::string WriteReportThroughModule(const ReportContent& content, ReportFormat format, const std::string& path) {
  const ReportEntries& entries = Entries();
  if (entries.write == nullptr) return entries.error;
  std::string error;
  return entries.write(&content, static_cast<int>(format), path.c_str(), &error) ? std::string() : error;
}

std::string OperatorFromSettings() {
  const ReportEntries& entries = Entries();
  std::string name;
  if (entries.reportOperator != nullptr) entries.reportOperator(&name);
  return name;
}
