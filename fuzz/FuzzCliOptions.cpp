// The command line's option parsing: the input is split at NUL bytes into
// arguments.
#include <string>
#include <vector>

#include "cli/Cli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) args.emplace_back();
    else args.back() += static_cast<char>(data[i]);
  }
  const CliParse parse = ParseCliArguments(args);
  if (parse.action == CliParse::Action::Run) {
    const CliOptions& options = parse.options;
    const bool manyFiles = options.command == "batch" || options.command == "merge";
    const std::size_t expected = options.command == "convert" || options.command == "plot" ||
                                         options.command == "rd" || options.command == "report"
                                     ? 2
                                     : 1;
    if (manyFiles ? options.positional.empty() : options.positional.size() != expected) __builtin_trap();
    if (options.bandPass && !(options.ratio > 0.0f && options.ratio < 1.0f && options.centre > 0.0f)) __builtin_trap();
    if (!(options.width > 0.0f)) __builtin_trap();
    if (options.command == "sweep" && !(options.from >= 0 && options.to >= options.from && options.every >= 1)) {
      __builtin_trap();
    }
    if (!(options.level > 0.0)) __builtin_trap();
    // Read options: a rate in the readers' range, a column from 1, a scale,
    // and a text file's rate given exactly one way.
    const ReadOptions& read = options.read;
    if (read.Rate && !(*read.Rate >= 1e-6 && *read.Rate <= 2147483647.0)) __builtin_trap();
    if (read.TimeColumn && *read.TimeColumn < 1) __builtin_trap();
    if (read.Skip && *read.Skip < 0) __builtin_trap();
    if (read.Scale == 0.0 || read.Scale != read.Scale) __builtin_trap();
    // A batch without --type reads each file by its extension, with the
    // options its reader takes: nothing to check against one reader here.
    if (options.command == "batch" && !options.type) return 0;
    const FileKind kind = options.type ? *options.type : KindFromExtension(options.positional[0]);
    if (kind == FileKind::Text && read.Rate.has_value() == read.TimeColumn.has_value()) __builtin_trap();
    if (kind == FileKind::Mat && !read.Rate) __builtin_trap();
    if ((kind == FileKind::Csv || kind == FileKind::Spc51) && !(read == ReadOptions{})) __builtin_trap();
  }
  return 0;
}
