#include "io/RecordFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "io/SystemErrorText.h"
#include "io/WaveData.h"

namespace fs = std::filesystem;

bool IsRecordFileName(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string extension = name.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  // A standard CSV file, or any extension that names another reader.
  return extension == ".csv" || KindFromExtension(name) != FileKind::Csv;
}

RecordFileList FindRecordFiles(const std::vector<std::string>& arguments) {
  RecordFileList list;
  for (const std::string& argument : arguments) {
    std::error_code error;
    if (!fs::is_directory(argument, error)) {
      list.Paths.push_back(argument);
      continue;
    }
    std::vector<std::string> found;
    fs::recursive_directory_iterator walk(argument, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
      const fs::directory_entry& entry = *walk;
      const std::string name = entry.path().filename().string();
      if (!name.empty() && name[0] == '.') {
        if (entry.is_directory(error)) walk.disable_recursion_pending();
        continue;
      }
      std::error_code kind;
      if (entry.is_regular_file(kind) && IsRecordFileName(name)) found.push_back(entry.path().string());
    }
    if (error) {
      list.Problems.push_back("フォルダ「" + argument + "」を読めません：" + SystemErrorText(error.value()) + "。");
    }
    std::sort(found.begin(), found.end());
    list.Paths.insert(list.Paths.end(), found.begin(), found.end());
  }
  return list;
}
