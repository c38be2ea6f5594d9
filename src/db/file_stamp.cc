#include "db/file_stamp.h"

#include <sys/stat.h>

namespace catpub::db {

std::optional<FileStamp> StampOf(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return std::nullopt;
  return FileStamp{static_cast<uint64_t>(info.st_size),
                   int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace catpub::db
