// Runs a program as a shop's scheduler would: its own working directory and environment, no input;
// collects what it printed and how it ended.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/wine_world.h"

namespace catpub::testing {

struct ProgramResult {
  int exit_status = -1;  // -1 when ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// Whether the program under test is the Windows build, run under Wine in a world of its own.
#ifdef CATPUB_WINE_TEMPLATE
inline constexpr bool kUnderWine = true;
#else
inline constexpr bool kUnderWine = false;
#endif

// A program started in the background, for tests that act on it while it runs. The destructor
// kills it (by its process id) if it is still running, so a failed test leaves nothing behind.
// The Windows build runs under Wine, in a prefix whose drives are CATALOG_PUBLISHER_DRIVES's
// folders; `pid()` is then Wine's process.
class StartedProgram {
 public:
  // `env` entries are added to (or replace those of) the test's own environment; an empty value
  // removes the variable. Under Wine, WINEDEBUG is -all unless `env` gives it. `address_space`
  // limits the program's memory (RLIMIT_AS, in bytes), as a scheduler's memory limit would.
  StartedProgram(const std::filesystem::path& program, const std::filesystem::path& working_dir,
                 const std::map<std::string, std::string>& env,
                 rlim_t address_space = RLIM_INFINITY) {
    const std::filesystem::path out = capture_.path() / "out", err = capture_.path() / "err";
#ifdef CATPUB_WINE_TEMPLATE
    const auto display = env.find("DISPLAY");
    const char* inherited = std::getenv("DISPLAY");
    wine_ = WineWorld::Of(env.at("CATALOG_PUBLISHER_DRIVES"), CATPUB_WINE_TEMPLATE,
                          display != env.end()   ? display->second
                          : inherited != nullptr ? inherited
                                                 : "");
#endif
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
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
      const rlimit limit{address_space, address_space};
      if (address_space != RLIM_INFINITY && setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
      dup2(in_fd, 0);
      dup2(out_fd, 1);
      dup2(err_fd, 2);
#ifdef CATPUB_WINE_TEMPLATE
      setenv("WINEPREFIX", wine_->prefix().c_str(), 1);
      // Wine's own messages stay out of what the program prints, unless a test asks for some.
      if (env.find("WINEDEBUG") == env.end()) setenv("WINEDEBUG", "-all", 1);
      execlp("wine", "wine", program.c_str(), static_cast<char*>(nullptr));
#else
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
#endif
      _exit(127);
    }
  }
  ~StartedProgram() {
    if (Running()) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  pid_t pid() const { return pid_; }

  // True until the program has ended.
  bool Running() {
    if (ended_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    Ended(status);
    return false;
  }

  // What the program has written to standard error so far.
  std::string ErrSoFar() const { return Lines(ReadBytes(capture_.path() / "err")); }

  // Waits for the program to end.
  ProgramResult Wait() {
    if (!ended_) {
      int status = 0;
      waitpid(pid_, &status, 0);
      Ended(status);
    }
    ProgramResult result = result_;
    result.out = Lines(ReadBytes(capture_.path() / "out"));
    result.err = Lines(ReadBytes(capture_.path() / "err"));
    return result;
  }

 private:
  // A Windows program ends the lines of its standard output and error with CR LF, as Windows' C
  // library does for text streams; the tests compare what the lines say.
  static std::string Lines(std::string text) {
    if (!kUnderWine) return text;
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
      if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    }
    return lines;
  }

  void Ended(int status) {
    ended_ = true;
    if (WIFEXITED(status)) result_.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
  }

  TempDir capture_;
  std::shared_ptr<WineWorld> wine_;
  pid_t pid_ = -1;
  bool ended_ = false;
  ProgramResult result_;
};

// Runs the program to its end (environment as for StartedProgram).
inline ProgramResult RunProgram(const std::filesystem::path& program,
                                const std::filesystem::path& working_dir,
                                const std::map<std::string, std::string>& env) {
  return StartedProgram(program, working_dir, env).Wait();
}

}  // namespace catpub::testing
