// A shared library opened the first time it is needed, so that a program that
// never reads its kind of file never loads it: libsndfile and matio bring
// dozens of libraries with them (codecs, HDF5 and its network libraries),
// whose loading would otherwise double the start of every oscalyx-cli run.
#pragma once

#include <string>

class LoadedLibrary {
 public:
  // Opens the library by its SONAME ("libmatio.so.11").
  explicit LoadedLibrary(const char* soname);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool Ok() const { return handle_ != nullptr; }
  // The function of that name, as the type of the function declared in the
  // library's header (decltype(&sf_close)); null when it is missing, which
  // makes the library unusable (Ok() turns false).
  template <typename Function>
  Function Get(const char* name) {
    return reinterpret_cast<Function>(Symbol(name));
  }
  // For messages: the SONAME.
  const std::string& Name() const { return name_; }

 private:
  void* Symbol(const char* name);

  void* handle_ = nullptr;
  std::string name_;
};

// One struct of a library's functions (a LoadedLibrary member and its Get
// results), made at the first use and kept until the process ends: unloading
// a library at exit only runs its own clean-up after ours, and hides what it
// allocated from the leak checker's suppressions.
template <typename Functions>
Functions& LoadedOnce() {
  static Functions* functions = new Functions;
  return *functions;
}
