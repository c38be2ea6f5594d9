// Numbered files on the real file system, opened through their Windows paths.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/file_system.h"
#include "platform/numbered_files.h"

namespace catpub::platform {

class PosixNumberedFiles : public NumberedFiles {
 public:
  explicit PosixNumberedFiles(FileSystem& fs) : fs_(fs) {}
  PosixNumberedFiles(const PosixNumberedFiles&) = delete;
  PosixNumberedFiles& operator=(const PosixNumberedFiles&) = delete;
  // Closes what is still open without writing out buffered lines: a run that ends that way has
  // already failed, and a half-written export is never published.
  ~PosixNumberedFiles() override;

  void OpenForOutput(int number, const std::string& path, Flush flush) override;
  void OpenForAppend(int number, const std::string& path) override;
  bool IsOpen(int number) const override { return open_.count(number) != 0; }
  void WriteLine(int number, std::string_view text) override;
  void CloseAllFiles() override;

 private:
  struct OpenFile {
    int fd;
    std::string path;  // Windows form, for messages
    Flush flush;
    std::string buffer;         // Windows-1252 bytes not yet written
    uint64_t written = 0;       // bytes written so far
    uint64_t written_back = 0;  // of those, bytes the disk was asked to take
  };
  void Open(int number, const std::string& path, int flags, Flush flush);
  static void WriteOut(OpenFile& file);

  FileSystem& fs_;
  std::map<int, OpenFile> open_;
};

}  // namespace catpub::platform
