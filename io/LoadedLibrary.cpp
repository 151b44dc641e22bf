#include "io/LoadedLibrary.h"

#include <dlfcn.h>

LoadedLibrary::LoadedLibrary(const char* soname) : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)), name_(soname) {}

LoadedLibrary::~LoadedLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

void* LoadedLibrary::Symbol(const char* name) {
  if (handle_ == nullptr) return nullptr;
  void* symbol = ::dlsym(handle_, name);
  if (symbol == nullptr) {
    ::dlclose(handle_);
    handle_ = nullptr;
  }
  return symbol;
}
