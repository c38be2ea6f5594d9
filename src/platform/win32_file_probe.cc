#include <windows.h>

#include "platform/file_probe.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

// Fills in the first bytes of the regular file, or what kept them from being read. Shared for
// reading, writing and deleting, as the shop's software keeps the database open.
void ReadStart(const std::filesystem::path& file, size_t start_bytes, FileProbe& probe) {
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    probe.failure = FileProbe::Failure::kOpening;
    probe.reason = WindowsErrorText(::GetLastError());
    return;
  }
  probe.start.assign(start_bytes, '\0');
  size_t got = 0;
  while (got < probe.start.size()) {
    DWORD read = 0;
    if (!::ReadFile(handle, probe.start.data() + got, static_cast<DWORD>(probe.start.size() - got),
                    &read, nullptr)) {
      probe.failure = FileProbe::Failure::kReading;
      probe.reason = WindowsErrorText(::GetLastError());
      probe.start.clear();
      ::CloseHandle(handle);
      return;
    }
    if (read == 0) break;
    got += read;
  }
  ::CloseHandle(handle);
  probe.start.resize(got);
}

}  // namespace

FileProbe ProbeFile(const std::filesystem::path& file, size_t start_bytes) {
  FileProbe probe;
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &info)) {
    const DWORD error = ::GetLastError();
    // A missing folder on the way, or a file where a folder should be, is a missing file.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_DIRECTORY && error != ERROR_INVALID_NAME) {
      probe.failure = FileProbe::Failure::kLooking;
      probe.reason = WindowsErrorText(error);
    }
    return probe;
  }
  const DWORD attributes = info.dwFileAttributes;
  probe.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::kFolder
               : (attributes & FILE_ATTRIBUTE_DEVICE)  ? FileKind::kOther
                                                       : FileKind::kRegular;
  if (probe.kind != FileKind::kRegular) return probe;
  probe.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (probe.size > 0) ReadStart(file, start_bytes, probe);
  return probe;
}

}  // namespace catpub::platform
