#include "platform/shop_lock.h"

#include "platform/interruption.h"

namespace catpub::platform {
namespace {

// How often a waiting run tries again: short against a run, long against a busy loop.
constexpr std::chrono::milliseconds kRetry{20};

}  // namespace

std::optional<FatalError> FolderLock::Take() {
  const FolderHandle::Result opened = folder_handle_.Open(fs_.LocalPath(folder_));
  if (opened.status == FolderHandle::Status::kMissing) return std::nullopt;  // nothing to lock
  if (opened.status != FolderHandle::Status::kDone) return Unlockable(opened.reason);
  const SteadyTime deadline = now_() + wait_;
  for (;;) {
    const FolderHandle::Result locked = folder_handle_.TryLock();
    if (locked.status == FolderHandle::Status::kDone) return std::nullopt;
    if (locked.status != FolderHandle::Status::kBusy) return Unlockable(locked.reason);
    if (InterruptingSignal() != 0) return Interruption();
    if (now_() >= deadline) return Busy();
    sleep_(kRetry);
  }
}

FatalError FolderLock::Busy() const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait_).count();
  return FatalError("un'altra esecuzione del programma occupa " + folder_ + " da oltre " +
                    std::to_string(seconds) + " secondi: questa esecuzione non parte");
}

FatalError FolderLock::Unlockable(const std::string& reason) const {
  return FatalError("impossibile bloccare la cartella").InFile(folder_).Because(reason);
}

}  // namespace catpub::platform
