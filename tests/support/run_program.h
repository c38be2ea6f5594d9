// Runs a program as a shop's scheduler would: its own working directory and environment, no input;
// collects what it printed and how it ended.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace catpub::testing {

struct ProgramResult {
  int exit_status = -1;  // -1 when ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// `env` entries are added to (or replace those of) the test's own environment; an empty value
// removes the variable.
inline ProgramResult RunProgram(const std::filesystem::path& program,
                                const std::filesystem::path& working_dir,
                                const std::map<std::string, std::string>& env) {
  TempDir capture;
  const std::filesystem::path out = capture.path() / "out", err = capture.path() / "err";
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    for (const auto& [name, value] : env) {
      if (value.empty()) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    int in_fd = open("/dev/null", O_RDONLY);
    int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(working_dir.c_str()) != 0) _exit(127);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ProgramResult result;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = ReadBytes(out);
  result.err = ReadBytes(err);
  return result;
}

}  // namespace catpub::testing
