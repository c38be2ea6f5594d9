#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_probe.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

// Fills in the first bytes of the regular file, or what kept them from being read.
void ReadStart(const std::filesystem::path& file, size_t start_bytes, FileProbe& probe) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    probe.failure = FileProbe::Failure::kOpening;
    probe.reason = SystemErrorText(errno);
    return;
  }
  probe.start.assign(start_bytes, '\0');
  ssize_t got = ::pread(fd, probe.start.data(), probe.start.size(), 0);
  int error = errno;
  ::close(fd);
  if (got < 0) {
    probe.failure = FileProbe::Failure::kReading;
    probe.reason = SystemErrorText(error);
    probe.start.clear();
    return;
  }
  probe.start.resize(static_cast<size_t>(got));
}

}  // namespace

FileProbe ProbeFile(const std::filesystem::path& file, size_t start_bytes) {
  FileProbe probe;
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      probe.failure = FileProbe::Failure::kLooking;
      probe.reason = SystemErrorText(errno);
    }
    return probe;
  }
  probe.kind = S_ISDIR(info.st_mode)   ? FileKind::kFolder
               : S_ISREG(info.st_mode) ? FileKind::kRegular
                                       : FileKind::kOther;
  if (probe.kind != FileKind::kRegular) return probe;
  probe.size = static_cast<uint64_t>(info.st_size);
  if (probe.size > 0) ReadStart(file, start_bytes, probe);
  return probe;
}

}  // namespace catpub::platform
