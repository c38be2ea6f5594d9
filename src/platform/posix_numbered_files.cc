#include "platform/posix_numbered_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "platform/fatal_error.h"
#include "platform/system_error_text.h"
#include "platform/windows_1252.h"

namespace catpub::platform {
namespace {

constexpr size_t kBufferLimit = 1 << 16;
// A file written in one go (kOnClose) is handed to the disk in steps of this size as it grows. Left
// to the end, the kernel would write all of it when the file is renamed over the file it replaces
// (ext4 does so, so that a crash cannot leave an empty file), and the run would wait for that.
constexpr uint64_t kWriteBackStep = uint64_t{8} << 20;

// What failed on `path`, and why; errno is read before anything else can change it.
FatalError Failed(const char* what, const std::string& path) {
  const int error = errno;
  return FatalError(what).InFile(path).Because(SystemErrorText(error));
}

}  // namespace

PosixNumberedFiles::~PosixNumberedFiles() {
  for (auto& [number, file] : open_) ::close(file.fd);
}

void PosixNumberedFiles::Open(int number, const std::string& path, int flags, Flush flush) {
  if (open_.count(number)) {
    throw FatalError("il file numero " + std::to_string(number) + " è già aperto");
  }
  int fd = ::open(fs_.LocalPath(path).c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw Failed("impossibile aprire", path);
  open_.emplace(number, OpenFile{fd, path, flush, {}});
}

void PosixNumberedFiles::OpenForOutput(int number, const std::string& path, Flush flush) {
  Open(number, path, O_TRUNC, flush);
}

void PosixNumberedFiles::OpenForAppend(int number, const std::string& path) {
  Open(number, path, O_APPEND, Flush::kEachLine);
}

void PosixNumberedFiles::WriteLine(int number, std::string_view text) {
  auto found = open_.find(number);
  if (found == open_.end()) {
    throw FatalError("il file numero " + std::to_string(number) + " non è aperto");
  }
  OpenFile& file = found->second;
  AppendWindows1252(text, file.buffer);
  file.buffer += "\r\n";  // Windows line end, on purpose
  if (file.flush == Flush::kEachLine || file.buffer.size() >= kBufferLimit) WriteOut(file);
}

void PosixNumberedFiles::WriteOut(OpenFile& file) {
  size_t done = 0;
  while (done < file.buffer.size()) {
    ssize_t written = ::write(file.fd, file.buffer.data() + done, file.buffer.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw Failed("impossibile scrivere", file.path);
    done += static_cast<size_t>(written);
  }
  file.written += file.buffer.size();
  file.buffer.clear();
  if (file.flush == Flush::kOnClose && file.written - file.written_back >= kWriteBackStep) {
    // Only starts the writing; a failure shows in a later write or the close.
    ::sync_file_range(file.fd, static_cast<off_t>(file.written_back),
                      static_cast<off_t>(file.written - file.written_back), SYNC_FILE_RANGE_WRITE);
    file.written_back = file.written;
  }
}

void PosixNumberedFiles::CloseAllFiles() {
  // Every file is closed even when one of them fails; the first failure is reported.
  std::optional<FatalError> failure;
  for (auto& [number, file] : open_) {
    try {
      WriteOut(file);
    } catch (const FatalError& error) {
      if (!failure) failure = error;
    }
    if (::close(file.fd) != 0 && !failure) {
      failure = Failed("impossibile chiudere", file.path);
    }
  }
  open_.clear();
  if (failure) throw *failure;
}

}  // namespace catpub::platform
