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
    const std::size_t expected =
        options.command == "convert" || options.command == "plot" || options.command == "rd" ? 2 : 1;
    if (options.positional.size() != expected) __builtin_trap();
    if (options.bandPass && !(options.ratio > 0.0f && options.ratio < 1.0f && options.centre > 0.0f)) __builtin_trap();
    if (!(options.width > 0.0f)) __builtin_trap();
    if (options.command == "sweep" && !(options.from >= 0 && options.to >= options.from && options.every >= 1)) {
      __builtin_trap();
    }
    if (!(options.level > 0.0)) __builtin_trap();
  }
  return 0;
}
