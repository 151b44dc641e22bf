#include <cerrno>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "io/SystemErrorText.h"

int main(int argc, char* argv[]) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  std::setlocale(LC_NUMERIC, "C");
  const int status = RunCli(args, stdout, stderr);
  // RunCli has flushed stdout; closing it can still report a write that failed
  // late (on a network file system, for one).
  if (std::fclose(stdout) != 0 && status == kExitOk) {
    std::fprintf(stderr, "標準出力に書き込めません：%s。\n", SystemErrorText(errno).c_str());
    return kExitFailure;
  }
  return status;
}
