// Runs the built oscalyx-cli as a process of its own, with extra environment
// settings and a time limit: for what only a process shows (its locale, a
// write that would hang, what reaches stdout).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

extern char** environ;

struct CliProcessResult {
  int status = -1;        // exit status; -1 when killed or ended by a signal
  bool timedOut = false;  // killed at the time limit
  std::string out;
  std::string err;
};

// `env` entries ("LC_ALL=de_DE.UTF-8") replace the variables of those names.
inline CliProcessResult RunCliProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                                      std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  TempDir dir;
  const std::string outPath = dir.File("stdout");
  const std::string errPath = dir.File("stderr");
  std::vector<std::string> argv = {OSCALYX_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& setting : env) {
      replaced |= entry.compare(0, setting.find('=') + 1, setting, 0, setting.find('=') + 1) == 0;
    }
    if (!replaced) envp.push_back(entry);
  }
  envp.insert(envp.end(), env.begin(), env.end());

  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> a;
    for (std::string& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    std::vector<char*> e;
    for (std::string& s : envp) e.push_back(s.data());
    e.push_back(nullptr);
    ::execve(a[0], a.data(), e.data());
    ::_exit(127);
  }
  CliProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!result.timedOut && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = TempDir::Read(outPath);
  result.err = TempDir::Read(errPath);
  return result;
}
