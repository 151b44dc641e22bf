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

// The command line of the built oscalyx-cli with `args`, quoted for sh.
inline std::string CliShellCommand(const std::vector<std::string>& args) {
  auto quoted = [](const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  };
  std::string command = quoted(OSCALYX_CLI_PATH);
  for (const std::string& arg : args) command += " " + quoted(arg);
  return command;
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
