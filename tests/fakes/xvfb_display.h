// A private X display for tests: an Xvfb server on a display number it picks itself, stopped by its
// process id when the object goes away.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

namespace catpub::testing {

// True when an executable of this name is on PATH.
inline bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

class XvfbDisplay {
 public:
  static bool Installed() { return OnPath("Xvfb"); }

  // Starts Xvfb with one screen of the given size, 24 bits deep, not listening on TCP. Xvfb picks
  // a free display number and reports it once it accepts clients; the constructor returns then.
  // Throws std::runtime_error when that does not happen within 10 s.
  explicit XvfbDisplay(const std::string& screen = "1024x768x24") {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("pipe for Xvfb failed");
    constexpr int kReportFd = 9;  // the child's copy of the pipe's write end, kept across exec
    const std::string report_fd = std::to_string(kReportFd);
    const char* argv[] = {"Xvfb",      "-displayfd", report_fd.c_str(),
                          "-screen",   "0",          screen.c_str(),
                          "-nolisten", "tcp",        nullptr};
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_ = fork();
    if (pid_ == 0) {
      // Also stopped when the test process dies without running its destructors.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      const bool reported = report[1] == kReportFd ? fcntl(kReportFd, F_SETFD, 0) == 0
                                                   : dup2(report[1], kReportFd) == kReportFd;
      if (!reported || dup2(quiet, 1) < 0 || dup2(quiet, 2) < 0) _exit(127);
      execvp("Xvfb", const_cast<char* const*>(argv));
      _exit(127);
    }
    close(report[1]);
    if (quiet >= 0) close(quiet);
    if (pid_ < 0) {
      close(report[0]);
      throw std::runtime_error("cannot start Xvfb");
    }
    std::string number = ReadDisplayNumber(report[0]);
    close(report[0]);
    if (number.empty()) {
      Stop();
      throw std::runtime_error("Xvfb did not report a display within 10 s");
    }
    name_ = ":" + number;
  }

  ~XvfbDisplay() { Stop(); }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // The display's name for DISPLAY, for example ":1".
  const std::string& name() const { return name_; }

 private:
  static std::string ReadDisplayNumber(int fd) {
    std::string number;
    pollfd ready{fd, POLLIN, 0};
    while (poll(&ready, 1, 10000) == 1) {
      char c;
      if (read(fd, &c, 1) != 1 || c == '\n') break;
      if (std::isdigit(static_cast<unsigned char>(c))) number += c;
    }
    return number;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace catpub::testing
