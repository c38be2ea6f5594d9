// A folder held open so that it can be locked against other processes. The lock belongs to the
// handle: it ends when the handle is closed or the process ends, however it ends, and leaves
// nothing behind on disk (on Windows the lock is a file in the folder that goes with its handle).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace catpub::platform {

class FolderHandle {
 public:
  enum class Status {
    kDone,     // opened, or locked
    kMissing,  // Open: no folder there
    kBusy,     // TryLock: another handle holds the lock
    kFailed,   // anything else; `reason` says what, in Italian
  };
  struct Result {
    Status status = Status::kDone;
    std::string reason;
  };

  FolderHandle() = default;
  // Closes the folder, letting its lock go.
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // Opens the folder at `local_path`, not inherited by child processes (a reader must not keep the
  // lock after the run has ended). kDone, kMissing or kFailed.
  Result Open(const std::filesystem::path& local_path);
  // Takes the exclusive lock of the open folder without waiting: kDone, kBusy or kFailed.
  Result TryLock();

 private:
  intptr_t handle_ = -1;  // the system's handle; -1 while closed
  // The folder opened; on Windows, TryLock opens the lock file in it (win32_folder_handle.cc).
  std::filesystem::path path_;
};

}  // namespace catpub::platform
