#include "io/LogVersions.h"

#include <sys/stat.h>

#include <fstream>

namespace {

// Whether rows with `header` may be appended to `path`.
bool TakesHeader(const std::string& path, std::string_view header) {
  // Only a regular file is judged by its header; anything else in its place
  // (a link, a pipe, a folder) is for the append to refuse with its reason.
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return true;  // missing: it will be created with the header
  std::string start(header.size(), '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  return got == 0 || (got == header.size() && start == header);
}

}  // namespace

std::string CurrentLogPath(const std::string& path, std::string_view header) {
  if (TakesHeader(path, header)) return path;
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string stem = hasExtension ? path.substr(0, dot) : path;
  const std::string extension = hasExtension ? path.substr(dot) : std::string();
  for (int number = 2;; ++number) {
    const std::string candidate = stem + "_" + std::to_string(number) + extension;
    if (TakesHeader(candidate, header)) return candidate;
  }
}
