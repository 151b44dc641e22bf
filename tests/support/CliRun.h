// Runs the command-line companion in-process and captures what it prints.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"

struct CliRunResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  return text;
}

inline CliRunResult RunCliCaptured(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CliRunResult result;
  result.status = RunCli(args, out, err);
  std::fflush(out);
  std::fflush(err);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  std::fclose(out);
  std::fclose(err);
  return result;
}
