// ChildProcess on POSIX: posix_spawn, pipes read without blocking under poll(), a pidfd to wait for
// the end with a deadline, waitpid() to reap.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/child_process.h"
#include "platform/interruption.h"
#include "platform/system_error_text.h"

extern char** environ;

namespace catpub::platform {
namespace {

constexpr int kInterruptionCheckMs = 100;
// Room for the reader's large row frames; the kernel may grant less.
constexpr int kPipeSize = 1 << 20;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The usual ways a process is killed, in the shop's words; strsignal() speaks English.
std::string SignalText(int signal) {
  switch (signal) {
    case SIGSEGV:
      return "accesso alla memoria non valido";
    case SIGBUS:
      return "errore di bus";
    case SIGKILL:
      return "terminato d'autorità";
    case SIGABRT:
      return "interrotto da sé";
    case SIGTERM:
      return "richiesta di terminare";
    case SIGFPE:
      return "errore aritmetico";
    case SIGILL:
      return "istruzione non valida";
    case SIGXCPU:
      return "limite di tempo del processore superato";
    case SIGPIPE:
      return "uscita chiusa";
    default:
      return "segnale di sistema";
  }
}

// How the child ended, by its wait status.
ChildProcess::Ending EndingOf(int wait_status) {
  ChildProcess::Ending ending;
  if (WIFEXITED(wait_status)) {
    ending.clean = WEXITSTATUS(wait_status) == 0;
    ending.description = "uscito con stato " + std::to_string(WEXITSTATUS(wait_status));
  } else if (WIFSIGNALED(wait_status)) {
    const int signal = WTERMSIG(wait_status);
    ending.mapped_file_fault = signal == SIGBUS;
    ending.description =
        "terminato dal segnale " + std::to_string(signal) + " (" + SignalText(signal) + ")";
  } else {
    ending.description = "terminato in modo anomalo";
  }
  return ending;
}

int MillisecondsUntil(SteadyTime deadline, SteadyTime now) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Owns the spawn attributes and file actions until the child is started.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Output and errors to the pipes, input from /dev/null, no other descriptor; every signal back to
  // its default and none blocked, whatever the parent set (a parent that ignores SIGPIPE must not
  // make the child ignore it).
  int Prepare(int out_fd, int err_fd) {
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    int error = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
    if (!error) error = posix_spawn_file_actions_adddup2(&actions_, out_fd, 1);
    if (!error) error = posix_spawn_file_actions_adddup2(&actions_, err_fd, 2);
    if (!error) error = posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    if (!error) error = posix_spawnattr_setsigdefault(&attributes_, &all);
    if (!error) error = posix_spawnattr_setsigmask(&attributes_, &none);
    if (!error) {
      error =
          posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    return error;
  }

  int Spawn(pid_t& pid, const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    return posix_spawn(&pid, args[0], &actions_, &attributes_, args.data(), environ);
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

struct ChildProcess::System {
  ~System() {
    CloseFd(out_fd);
    CloseFd(err_fd);
    CloseFd(pidfd);
  }
  // waitpid() for the child: its wait status.
  int Wait() const {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
      // ECHILD: a parent that ignores SIGCHLD has its children reaped by the kernel; the status is
      // lost then, and the child's own frames are all there is to go by.
      if (errno != EINTR) return 0;
    }
    return status;
  }

  pid_t pid = -1;
  int pidfd = -1;
  int out_fd = -1;
  int err_fd = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           std::chrono::milliseconds idle_limit, SteadyNow now)
    : system_(std::make_unique<System>()), idle_limit_(idle_limit), now_(std::move(now)) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    throw CannotStart(argv.at(0), SystemErrorText(errno));
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    int error = errno;
    ::close(out[0]);
    ::close(out[1]);
    throw CannotStart(argv.at(0), SystemErrorText(error));
  }
  ::fcntl(out[0], F_SETPIPE_SZ, kPipeSize);  // best effort
  System& system = *system_;
  system.out_fd = out[0];
  system.err_fd = err[0];
  SpawnSetup setup;
  int error = setup.Prepare(out[1], err[1]);
  if (!error) error = setup.Spawn(system.pid, argv);
  ::close(out[1]);
  ::close(err[1]);
  if (error) {
    system.pid = -1;
    throw CannotStart(argv.at(0), SystemErrorText(error));
  }
  ::fcntl(system.out_fd, F_SETFL, O_NONBLOCK);
  ::fcntl(system.err_fd, F_SETFL, O_NONBLOCK);
  // Through syscall(): glibc 2.36's <sys/pidfd.h> lacks C linkage for C++. -1 on kernels before
  // 5.3; Finish then waits without a deadline.
  system.pidfd = static_cast<int>(::syscall(SYS_pidfd_open, system.pid, 0));
}

ChildProcess::~ChildProcess() { Kill(); }

ChildProcess::ReadStatus ChildProcess::ReadFull(char* buffer, size_t size) {
  int& out_fd = system_->out_fd;
  while (size > 0) {
    if (out_fd < 0) return ReadStatus::kEnd;
    ssize_t got = ::read(out_fd, buffer, size);
    if (got > 0) {
      buffer += got;
      size -= static_cast<size_t>(got);
    } else if (got == 0) {
      CloseFd(out_fd);
      return ReadStatus::kEnd;
    } else if (errno == EAGAIN) {
      if (!WaitForOutput()) return ReadStatus::kStalled;
    } else if (errno != EINTR) {
      CloseFd(out_fd);
      return ReadStatus::kEnd;
    }
  }
  return ReadStatus::kData;
}

bool ChildProcess::WaitForOutput() {
  const SteadyTime deadline = now_() + idle_limit_;
  for (;;) {
    pollfd fds[2] = {{system_->out_fd, POLLIN, 0}, {system_->err_fd, POLLIN, 0}};
    // In slices, so that a run asked to end by a signal (which another thread may have taken)
    // does not wait out a silent reader.
    int ready = ::poll(fds, system_->err_fd >= 0 ? 2 : 1,
                       std::min(MillisecondsUntil(deadline, now_()), kInterruptionCheckMs));
    if (ready < 0 && errno != EINTR) return true;  // let read() report the trouble
    if (ready > 0 && fds[1].revents) DrainErrors();
    if (ready > 0 && fds[0].revents) return true;
    if (InterruptingSignal() != 0) {
      Kill();
      return false;
    }
    if (ready == 0 && now_() >= deadline) {
      killed_by_watchdog_ = true;
      Kill();
      return false;
    }
  }
}

void ChildProcess::DrainErrors() {
  char chunk[4096];
  int& err_fd = system_->err_fd;
  while (err_fd >= 0) {
    ssize_t got = ::read(err_fd, chunk, sizeof(chunk));
    if (got > 0) {
      KeepErrors(std::string_view(chunk, static_cast<size_t>(got)));
    } else if (got == 0) {
      CloseFd(err_fd);
    } else if (errno != EINTR) {
      return;  // EAGAIN: nothing more for now
    }
  }
}

ChildProcess::Ending ChildProcess::Finish() {
  if (reaped_) return ending_;
  const SteadyTime deadline = now_() + idle_limit_;
  while (system_->pidfd >= 0) {
    pollfd fds[2] = {{system_->pidfd, POLLIN, 0}, {system_->err_fd, POLLIN, 0}};
    int ready = ::poll(fds, system_->err_fd >= 0 ? 2 : 1, MillisecondsUntil(deadline, now_()));
    if (ready > 0 && fds[1].revents) DrainErrors();
    if (ready > 0 && fds[0].revents) break;
    if (ready == 0 && now_() >= deadline) {
      killed_by_watchdog_ = true;
      Kill();
      return ending_;
    }
    if (ready < 0 && errno != EINTR) break;
  }
  Reaped(EndingOf(system_->Wait()));
  return ending_;
}

void ChildProcess::Kill() {
  if (system_->pid < 0 || reaped_) return;
  ::kill(system_->pid, SIGKILL);
  int status = system_->Wait();
  Reaped(EndingOf(status == 0 ? W_EXITCODE(0, SIGKILL) : status));
}

}  // namespace catpub::platform
