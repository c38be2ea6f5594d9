#include <sys/stat.h>

#include "platform/file_stamps.h"

namespace catpub::platform {
namespace {

class StatStamps final : public FileStamps {
 public:
  std::optional<FileStamp> StampOf(const std::filesystem::path& file) override {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return std::nullopt;
    return FileStamp{static_cast<uint64_t>(info.st_size),
                     int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec,
                     static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  }
};

}  // namespace

FileStamps& SystemFileStamps() {
  static StatStamps stamps;
  return stamps;
}

}  // namespace catpub::platform
