// The size and modification time of a database file, noted before its tables are read and compared
// once an export made from them is complete: the shop's own software may write the file meanwhile,
// and rows read across such a write need not belong together.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace catpub::db {

struct FileStamp {
  uint64_t size = 0;
  int64_t modified_ns = 0;  // since 1970, as the file system records it
  bool operator==(const FileStamp&) const = default;
};

// The file's stamp now; nullopt when it cannot be read (a missing file, which the reading itself
// then reports).
std::optional<FileStamp> StampOf(const std::filesystem::path& file);

}  // namespace catpub::db
