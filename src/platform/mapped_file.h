// A file mapped read-only into memory, to be read once from start to end: the reader process reads
// the database file this way rather than through a file handle.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace catpub::platform {

class MappedFile {
 public:
  // Maps all of `file` and tells the system that it will be read from start to end. Empty (bytes()
  // empty) when the file cannot be opened or mapped, or is empty: the caller then reads it another
  // way, which reports what is wrong.
  explicit MappedFile(const std::filesystem::path& file);
  // Unmaps the file.
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // The file's bytes, valid while this lives. A file made shorter meanwhile by another program
  // ends this process (SIGBUS) when a page past its new end is read.
  std::string_view bytes() const { return bytes_; }
  // The pages read so far leave this process's resident memory: they stay in the system's cache,
  // and come back if read again. So the process's footprint stays small for any file size.
  void ReleaseResidentPages() const;

 private:
  std::string_view bytes_;
};

}  // namespace catpub::platform
