#include <windows.h>

#include "platform/file_stamps.h"

namespace catpub::platform {
namespace {

// FILETIME counts 100 ns from 1601; from 1601 to 1970 there are 11644473600 s.
constexpr int64_t kFrom1601To1970 = 116444736000000000;

class HandleStamps final : public FileStamps {
 public:
  // Opened for no access at all, sharing everything: the shop's software may hold the file open,
  // and is not disturbed.
  std::optional<FileStamp> StampOf(const std::filesystem::path& file) override {
    HANDLE handle =
        ::CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    if (!known) return std::nullopt;
    const int64_t written = static_cast<int64_t>(
        (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime);
    return FileStamp{(uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                     (written - kFrom1601To1970) * 100, info.dwVolumeSerialNumber,
                     (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  }
};

}  // namespace

FileStamps& SystemFileStamps() {
  static HandleStamps stamps;
  return stamps;
}

}  // namespace catpub::platform
