#include "platform/shop_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/interruption.h"

namespace catpub::platform {
namespace {

// How often a waiting run tries again: short against a run, long against a busy loop.
constexpr std::chrono::milliseconds kRetry{20};

}  // namespace

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderLock::Take() {
  // Close-on-exec: a reader process must not keep the shop held after the run has ended.
  fd_ = ::open(fs_.LocalPath(folder_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + wait_;
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return true;  // a folder that cannot be locked
    if (InterruptingSignal() != 0 || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kRetry);
  }
}

std::string FolderLock::BusyLine() const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait_).count();
  return "ERRORE : un'altra esecuzione del programma occupa " + folder_ + " da oltre " +
         std::to_string(seconds) + " secondi: questa esecuzione non parte";
}

}  // namespace catpub::platform
