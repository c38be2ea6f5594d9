#include "db/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <utility>

#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "platform/system_error_text.h"

extern char** environ;

namespace catpub::db {
namespace {

// The beginning of the child's standard error that is kept; the rest is counted and dropped.
constexpr size_t kErrorsKept = 4096;
constexpr int kInterruptionCheckMs = 100;
// Room for the reader's large row frames; the kernel may grant less.
constexpr int kPipeSize = 1 << 20;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// "20 s", "0,5 s".
std::string Seconds(std::chrono::milliseconds duration) {
  std::string text = std::to_string(duration.count() / 1000);
  // Appended piece by piece: GCC 12 takes "." + std::to_string(...) for an overlapping copy
  // (-Wrestrict) when it inlines it at -O3.
  if (int64_t tenths = duration.count() % 1000 / 100) {
    text += ',';
    text += std::to_string(tenths);
  }
  text += " s";
  return text;
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

// What could not be started, by its program name only: its folder is this machine's, not the
// shop's.
FatalError CannotStart(const std::string& program, int error) {
  return FatalError("impossibile avviare il programma " +
                    std::filesystem::path(program).filename().string())
      .Because(platform::SystemErrorText(error));
}

int MillisecondsUntil(platform::SteadyTime deadline, platform::SteadyTime now) {
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

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           std::chrono::milliseconds idle_limit, platform::SteadyNow now)
    : idle_limit_(idle_limit), now_(std::move(now)) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    throw CannotStart(argv.at(0), errno);
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    int error = errno;
    ::close(out[0]);
    ::close(out[1]);
    throw CannotStart(argv.at(0), error);
  }
  ::fcntl(out[0], F_SETPIPE_SZ, kPipeSize);  // best effort
  out_fd_ = out[0];
  err_fd_ = err[0];
  SpawnSetup setup;
  int error = setup.Prepare(out[1], err[1]);
  if (!error) error = setup.Spawn(pid_, argv);
  ::close(out[1]);
  ::close(err[1]);
  if (error) {
    pid_ = -1;
    CloseFd(out_fd_);
    CloseFd(err_fd_);
    throw CannotStart(argv.at(0), error);
  }
  ::fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  ::fcntl(err_fd_, F_SETFL, O_NONBLOCK);
  // Through syscall(): glibc 2.36's <sys/pidfd.h> lacks C linkage for C++. -1 on kernels before
  // 5.3; Finish then waits without a deadline.
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess() {
  Kill();
  CloseFd(out_fd_);
  CloseFd(err_fd_);
  CloseFd(pidfd_);
}

ChildProcess::ReadStatus ChildProcess::ReadFull(char* buffer, size_t size) {
  while (size > 0) {
    if (out_fd_ < 0) return ReadStatus::kEnd;
    ssize_t got = ::read(out_fd_, buffer, size);
    if (got > 0) {
      buffer += got;
      size -= static_cast<size_t>(got);
    } else if (got == 0) {
      CloseFd(out_fd_);
      return ReadStatus::kEnd;
    } else if (errno == EAGAIN) {
      if (!WaitForOutput()) return ReadStatus::kStalled;
    } else if (errno != EINTR) {
      CloseFd(out_fd_);
      return ReadStatus::kEnd;
    }
  }
  return ReadStatus::kData;
}

bool ChildProcess::WaitForOutput() {
  const platform::SteadyTime deadline = now_() + idle_limit_;
  for (;;) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    // In slices, so that a run asked to end by a signal (which another thread may have taken)
    // does not wait out a silent reader.
    int ready = ::poll(fds, err_fd_ >= 0 ? 2 : 1,
                       std::min(MillisecondsUntil(deadline, now_()), kInterruptionCheckMs));
    if (ready < 0 && errno != EINTR) return true;  // let read() report the trouble
    if (ready > 0 && fds[1].revents) DrainErrors();
    if (ready > 0 && fds[0].revents) return true;
    if (platform::InterruptingSignal() != 0) {
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
  while (err_fd_ >= 0) {
    ssize_t got = ::read(err_fd_, chunk, sizeof(chunk));
    if (got > 0) {
      size_t keep = std::min(static_cast<size_t>(got), kErrorsKept - errors_.size());
      errors_.append(chunk, keep);
      errors_dropped_ += static_cast<size_t>(got) - keep;
    } else if (got == 0) {
      CloseFd(err_fd_);
    } else if (errno != EINTR) {
      return;  // EAGAIN: nothing more for now
    }
  }
}

ChildProcess::Ending ChildProcess::Finish() {
  if (reaped_) return ending_;
  const platform::SteadyTime deadline = now_() + idle_limit_;
  while (pidfd_ >= 0) {
    pollfd fds[2] = {{pidfd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    int ready = ::poll(fds, err_fd_ >= 0 ? 2 : 1, MillisecondsUntil(deadline, now_()));
    if (ready > 0 && fds[1].revents) DrainErrors();
    if (ready > 0 && fds[0].revents) break;
    if (ready == 0 && now_() >= deadline) {
      killed_by_watchdog_ = true;
      Kill();
      return ending_;
    }
    if (ready < 0 && errno != EINTR) break;
  }
  return Reap(Wait());
}

int ChildProcess::Wait() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
    // ECHILD: a parent that ignores SIGCHLD has its children reaped by the kernel; the status is
    // lost then, and the child's own frames are all there is to go by.
    if (errno != EINTR) return 0;
  }
  return status;
}

void ChildProcess::Kill() {
  if (pid_ < 0 || reaped_) return;
  ::kill(pid_, SIGKILL);
  int status = Wait();
  Reap(status == 0 ? W_EXITCODE(0, SIGKILL) : status);
}

ChildProcess::Ending ChildProcess::Reap(int wait_status) {
  reaped_ = true;
  DrainErrors();
  ending_.clean = WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0;
  if (killed_by_watchdog_) {
    ending_.description = "fermato dopo " + Seconds(idle_limit_) + " senza alcun progresso";
  } else if (WIFEXITED(wait_status)) {
    ending_.description = "uscito con stato " + std::to_string(WEXITSTATUS(wait_status));
  } else if (WIFSIGNALED(wait_status)) {
    int signal = WTERMSIG(wait_status);
    ending_.signal = signal;
    ending_.description =
        "terminato dal segnale " + std::to_string(signal) + " (" + SignalText(signal) + ")";
  } else {
    ending_.description = "terminato in modo anomalo";
  }
  return ending_;
}

std::string ChildProcess::ErrorOutput(size_t limit) const {
  std::string line;
  bool blank = false;
  for (char c : errors_) {
    if (c == '\n' || c == '\r' || c == '\t') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += " | ";
    blank = false;
    line += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  }
  if (line.size() > limit || errors_dropped_ > 0) {
    line.resize(std::min(line.size(), limit));
    line += " ...";
  }
  return line;
}

}  // namespace catpub::db
