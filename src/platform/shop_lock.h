// One run at a time per shop. Cron may start the next run before the last one has ended, or an
// admin may start one by hand: both would write the same run log, export and upload. A run holds
// the shop from before it touches the run log until the process ends.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/folder_handle.h"
#include "platform/steady_time.h"

namespace catpub::platform {

// How long the running executable waits for another run (CATPUB_RUN_LOCK_TIMEOUT). Defined in
// src/compiled_in_settings.cc.
std::chrono::seconds CompiledInShopLockWait();

class ShopLock {
 public:
  virtual ~ShopLock() = default;
  // Waits while another run holds the shop, then holds it until the process ends, and returns
  // nothing. Otherwise returns why this run cannot have the shop, for the run to report and end:
  // the wait ran out (naming the shop's folder and the wait), a signal asked the run to end
  // (Interruption()), or the shop cannot be locked.
  virtual std::optional<FatalError> Take() = 0;
};

// The lock is an exclusive lock on the shop's folder C:\orbis itself (the folder of the run log's
// folder and of the export; platform/folder_handle.h), so it leaves nothing behind and ends with
// the process, however it ends. A shop without that folder has nothing a run could write, and needs
// no lock: the run goes on. Any other failure to open or lock the folder (not a folder, no access,
// no descriptor left) refuses the run, naming the folder and the system's reason: a run never goes
// on unlocked where another run could be writing.
class FolderLock final : public ShopLock {
 public:
  // `fs` must outlive the lock. The wait is measured by `now`; between tries the run pauses with
  // `sleep`.
  FolderLock(FileSystem& fs, std::string folder, std::chrono::milliseconds wait,
             SteadyNow now = std::chrono::steady_clock::now, Sleep sleep = SleepFor)
      : fs_(fs),
        folder_(std::move(folder)),
        wait_(wait),
        now_(std::move(now)),
        sleep_(std::move(sleep)) {}
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  std::optional<FatalError> Take() override;

 private:
  // The report of a wait that ran out, naming the shop's folder and the wait.
  FatalError Busy() const;
  // The report of a folder that cannot be opened or locked, for `reason`.
  FatalError Unlockable(const std::string& reason) const;

  FileSystem& fs_;
  const std::string folder_;
  const std::chrono::milliseconds wait_;
  SteadyNow now_;
  Sleep sleep_;
  FolderHandle folder_handle_;
};

}  // namespace catpub::platform
