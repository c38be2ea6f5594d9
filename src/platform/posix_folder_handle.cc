#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folder_handle.h"
#include "platform/system_error_text.h"

namespace catpub::platform {

FolderHandle::~FolderHandle() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

FolderHandle::Result FolderHandle::Open(const std::filesystem::path& local_path) {
  const int fd = ::open(local_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return {Status::kMissing, {}};
    return {Status::kFailed, SystemErrorText(errno)};
  }
  handle_ = fd;
  return {};
}

// An flock, which belongs to the open file rather than to the process: another open of the same
// folder, in this process or another, is refused it.
FolderHandle::Result FolderHandle::TryLock() {
  if (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0) return {};
  if (errno == EWOULDBLOCK || errno == EINTR) return {Status::kBusy, {}};
  return {Status::kFailed, SystemErrorText(errno)};
}

}  // namespace catpub::platform
