// The size, modification time and identity of a file, noted before it is read and compared once
// what was made from it is complete: the shop's own software may write the data database meanwhile
// (or replace it with a copy), and rows read across such a write need not belong together.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace catpub::platform {

struct FileStamp {
  uint64_t size = 0;
  int64_t modified_ns = 0;  // since 1970, as the file system records it
  // Which file it is on its disk (device and inode; volume serial number and file index), so that
  // a copy put in its place is told apart even with the same size and time.
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileStamp&) const = default;
};

class FileStamps {
 public:
  virtual ~FileStamps() = default;
  // The file's stamp now; nullopt when it cannot be read (a missing file, which the reading itself
  // then reports).
  virtual std::optional<FileStamp> StampOf(const std::filesystem::path& file) = 0;
};

// The stamps the file system keeps (posix_file_stamps.cc). It holds nothing: one serves the whole
// process, and lives as long as it.
FileStamps& SystemFileStamps();

}  // namespace catpub::platform
