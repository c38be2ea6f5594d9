#include "platform/shop_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/interruption.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

// How often a waiting run tries again: short against a run, long against a busy loop.
constexpr std::chrono::milliseconds kRetry{20};

}  // namespace

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<FatalError> FolderLock::Take() {
  // Close-on-exec: a reader process must not keep the shop held after the run has ended.
  fd_ = ::open(fs_.LocalPath(folder_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    if (errno == ENOENT) return std::nullopt;  // no folder: nothing to lock
    return Unlockable(errno);
  }
  const auto deadline = std::chrono::steady_clock::now() + wait_;
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return std::nullopt;
    if (errno != EWOULDBLOCK && errno != EINTR) return Unlockable(errno);
    if (InterruptingSignal() != 0) return Interruption();
    if (std::chrono::steady_clock::now() >= deadline) return Busy();
    std::this_thread::sleep_for(kRetry);
  }
}

FatalError FolderLock::Busy() const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait_).count();
  return FatalError("un'altra esecuzione del programma occupa " + folder_ + " da oltre " +
                    std::to_string(seconds) + " secondi: questa esecuzione non parte");
}

FatalError FolderLock::Unlockable(int error) const {
  return FatalError("impossibile bloccare la cartella")
      .InFile(folder_)
      .Because(SystemErrorText(error));
}

}  // namespace catpub::platform
