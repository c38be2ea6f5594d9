#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/fatal_error.h"
#include "platform/output_file.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

// What failed on the file, and why; errno is read before anything else can change it.
FatalError Failed(const char* what, const std::string& path) {
  const int error = errno;
  return FatalError(what).InFile(path).Because(SystemErrorText(error));
}

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& local_path, std::string windows_path, Mode mode)
    : windows_path_(std::move(windows_path)) {
  const int how = mode == Mode::kAppend ? O_APPEND : O_TRUNC;
  handle_ = ::open(local_path.c_str(), how | O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (handle_ < 0) throw Failed("impossibile aprire", windows_path_);
}

OutputFile::~OutputFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : windows_path_(std::move(other.windows_path_)), handle_(std::exchange(other.handle_, -1)) {}

void OutputFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw Failed("impossibile scrivere", windows_path_);
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void OutputFile::StartWriteBack(uint64_t from, uint64_t to) {
  ::sync_file_range(static_cast<int>(handle_), static_cast<off_t>(from),
                    static_cast<off_t>(to - from), SYNC_FILE_RANGE_WRITE);
}

void OutputFile::Close() {
  const int fd = static_cast<int>(std::exchange(handle_, -1));
  if (::close(fd) != 0) throw Failed("impossibile chiudere", windows_path_);
}

}  // namespace catpub::platform
