// One run at a time per shop. Cron may start the next run before the last one has ended, or an
// admin may start one by hand: both would write the same run log, export and upload. A run holds
// the shop from before it touches the run log until the process ends.
#pragma once

#include <chrono>
#include <string>

#include "platform/file_system.h"

namespace catpub::platform {

// How long the running executable waits for another run (CATPUB_RUN_LOCK_TIMEOUT). Defined in
// src/compiled_in_settings.cc.
std::chrono::seconds CompiledInShopLockWait();

class ShopLock {
 public:
  virtual ~ShopLock() = default;
  // Waits while another run holds the shop, then holds it until the process ends. False when the
  // wait ran out or a signal asked the run to end.
  virtual bool Take() = 0;
  // The report of a wait that ran out, naming the shop's folder and the wait.
  virtual std::string BusyLine() const = 0;
};

// The lock is an exclusive flock on the shop's folder C:\orbis itself (the folder of the run log's
// folder and of the export), so it leaves nothing behind and ends with the process, however it
// ends. A shop without that folder has nothing a run could write, and needs no lock.
class FolderLock final : public ShopLock {
 public:
  // `fs` must outlive the lock.
  FolderLock(FileSystem& fs, std::string folder, std::chrono::milliseconds wait)
      : fs_(fs), folder_(std::move(folder)), wait_(wait) {}
  ~FolderLock() override;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  bool Take() override;
  std::string BusyLine() const override;

 private:
  FileSystem& fs_;
  const std::string folder_;
  const std::chrono::milliseconds wait_;
  int fd_ = -1;
};

}  // namespace catpub::platform
