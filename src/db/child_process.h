// A helper program run as a child process, read through a pipe under a watchdog: when the child
// sends no byte for the idle limit while the parent waits for one, the child is killed. Its
// standard error is captured (the beginning of it is kept) instead of reaching the user's terminal.
// The child is always reaped, and no descriptor of the parent leaks into it. The parent only ever
// reads from the child, so a child that dies never raises SIGPIPE here.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/steady_time.h"

namespace catpub::db {

class ChildProcess {
 public:
  // Starts the program at argv[0] with `argv`, standard input from /dev/null, default signal
  // handling, and the parent's environment. Throws FatalError when it cannot be started. The idle
  // limit is measured by `now`.
  ChildProcess(const std::vector<std::string>& argv, std::chrono::milliseconds idle_limit,
               platform::SteadyNow now = std::chrono::steady_clock::now);
  // Kills and reaps a child that is still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  enum class ReadStatus { kData, kEnd, kStalled };
  // Fills `buffer` with the next `size` bytes of the child's standard output. kEnd when the output
  // ends first, kStalled when no byte came for the idle limit; the child is then already killed.
  ReadStatus ReadFull(char* buffer, size_t size);

  struct Ending {
    bool clean = false;       // exited with status 0
    std::string description;  // "uscito con stato 3", "terminato dal segnale 11 (...)"
    int signal = 0;           // the signal that killed it, if one did
  };
  // Waits for the child to end, at most the idle limit, killing it when it does not; reaps it.
  Ending Finish();
  // Kills the child now (if it still runs) and reaps it.
  void Kill();

  // The child's standard error so far, on one line, shortened to at most `limit` characters.
  std::string ErrorOutput(size_t limit = 600) const;
  pid_t pid() const { return pid_; }

 private:
  // Waits for the output or the stalling; false when stalled.
  bool WaitForOutput();
  void DrainErrors();
  // waitpid() for the child: its wait status.
  int Wait();
  Ending Reap(int wait_status);

  std::chrono::milliseconds idle_limit_;
  platform::SteadyNow now_;
  pid_t pid_ = -1;
  int pidfd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool reaped_ = false;
  bool killed_by_watchdog_ = false;
  Ending ending_;
  std::string errors_;
  size_t errors_dropped_ = 0;
};

}  // namespace catpub::db
