#include <windows.h>

#include "platform/folder_handle.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

FolderHandle::~FolderHandle() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
}

// Only whether the folder is there and can be opened: the lock is the next open, which shares
// nothing.
FolderHandle::Result FolderHandle::Open(const std::filesystem::path& local_path) {
  const DWORD attributes = ::GetFileAttributesW(local_path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return {Status::kMissing, {}};
    }
    return {Status::kFailed, WindowsErrorText(error)};
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {Status::kFailed, "una parte del percorso non è una cartella"};
  }
  path_ = local_path;
  return {};
}

// The lock is a handle of the folder itself (FILE_FLAG_BACKUP_SEMANTICS opens a folder) opened
// for listing and shared for writing and deleting only: while it is open, every other open of the
// folder that would read it fails with a sharing violation (another run's lock, in this process or
// another), while the run itself goes on creating, writing and renaming the files in it (a rename
// opens the folder for writing, sharing reading and writing, which this handle allows; a handle
// that shares nothing would refuse the export's rename). The handle is not inherited (no security
// attributes) and ends with the process however it ends, leaving nothing on disk. Wine's server
// keeps share modes as Windows does.
FolderHandle::Result FolderHandle::TryLock() {
  HANDLE handle =
      ::CreateFileW(path_.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return {Status::kBusy, {}};
    return {Status::kFailed, WindowsErrorText(error)};
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  return {};
}

}  // namespace catpub::platform
