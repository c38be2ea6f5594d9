#include <windows.h>

#include "platform/folder_handle.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Hidden, and gone when the run ends.
constexpr wchar_t kLockName[] = L"catalog-publisher.lock";

}  // namespace

FolderHandle::~FolderHandle() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
}

// Only whether the folder is there: the lock is a file that TryLock opens in it.
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

// The lock is a file in the folder, opened sharing nothing and deleted when its handle closes:
// while it is open, every other run's open of it fails with a sharing violation, and however the
// run ends, even killed, the system closes the handle and the file goes. A lock on the folder
// itself cannot do this: an open of the folder that kept other runs out would keep out the
// listing of it too, which the run itself needs (the leftovers of a killed run are found so).
// While the file is being deleted, an open of it is refused as access denied: that, too, is
// another run letting go. The handle is not inherited (no security attributes). Wine's server
// keeps share modes as Windows does.
FolderHandle::Result FolderHandle::TryLock() {
  const std::filesystem::path lock = path_ / kLockName;
  HANDLE handle =
      ::CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return {Status::kBusy, {}};
    if (error == ERROR_ACCESS_DENIED &&
        ::GetFileAttributesW(lock.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return {Status::kBusy, {}};
    }
    return {Status::kFailed, WindowsErrorText(error)};
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  return {};
}

}  // namespace catpub::platform
