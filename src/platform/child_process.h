// A helper program run as a child process, read through a pipe under a watchdog: when the child
// sends no byte for the idle limit while the parent waits for one, the child is killed. Its
// standard error is captured (the beginning of it is kept) instead of reaching the user's terminal.
// The child is always reaped, and no descriptor of the parent leaks into it. The parent only ever
// reads from the child, so a child that dies never raises SIGPIPE here.
//
// The system's side (starting, pipes, waiting, killing) is in posix_child_process.cc; what any
// system shares (the captured errors, the watchdog's words) in child_process.cc.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fatal_error.h"
#include "platform/steady_time.h"

namespace catpub::platform {

class ChildProcess {
 public:
  // Starts the program at argv[0] with `argv`, standard input from /dev/null, default signal
  // handling, and the parent's environment. Throws FatalError when it cannot be started. The idle
  // limit is measured by `now`.
  ChildProcess(const std::vector<std::string>& argv, std::chrono::milliseconds idle_limit,
               SteadyNow now = std::chrono::steady_clock::now);
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
    // Killed for touching a page of a mapped file that is no longer there (SIGBUS): the file got
    // shorter under it.
    bool mapped_file_fault = false;
  };
  // Waits for the child to end, at most the idle limit, killing it when it does not; reaps it.
  Ending Finish();
  // Kills the child now (if it still runs) and reaps it.
  void Kill();

  // The child's standard error so far, on one line, shortened to at most `limit` characters.
  std::string ErrorOutput(size_t limit = 600) const;

 private:
  // The process and the parent's ends of its pipes, as the system knows them.
  struct System;

  // What could not be started, by its program name only: its folder is this machine's, not the
  // shop's.
  static FatalError CannotStart(const std::string& program, const std::string& reason);
  // Waits for the output or the stalling; false when stalled.
  bool WaitForOutput();
  void DrainErrors();
  // Keeps the beginning of the child's standard error; counts the rest.
  void KeepErrors(std::string_view chunk);
  // Notes that the child is reaped and ended as `ending` says, or as stalled when the watchdog
  // killed it; takes what is left of its standard error.
  void Reaped(Ending ending);

  std::unique_ptr<System> system_;
  std::chrono::milliseconds idle_limit_;
  SteadyNow now_;
  bool reaped_ = false;
  bool killed_by_watchdog_ = false;
  Ending ending_;
  std::string errors_;
  size_t errors_dropped_ = 0;
};

}  // namespace catpub::platform
