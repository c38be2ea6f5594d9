// Numbered files on the real file system, opened through their Windows paths: the number table,
// the lines' Windows-1252 and CR LF, and their buffering; the system's side is
// platform/output_file.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/file_system.h"
#include "platform/numbered_files.h"
#include "platform/output_file.h"

namespace catpub::platform {

class DiskNumberedFiles : public NumberedFiles {
 public:
  explicit DiskNumberedFiles(FileSystem& fs) : fs_(fs) {}
  DiskNumberedFiles(const DiskNumberedFiles&) = delete;
  DiskNumberedFiles& operator=(const DiskNumberedFiles&) = delete;
  // Closes what is still open without writing out buffered lines: a run that ends that way has
  // already failed, and a half-written export is never published.
  ~DiskNumberedFiles() override;

  void OpenForOutput(int number, const std::string& path, Flush flush) override;
  void OpenForAppend(int number, const std::string& path) override;
  bool IsOpen(int number) const override { return open_.count(number) != 0; }
  void WriteLine(int number, std::string_view text) override;
  void CloseAllFiles() override;

 private:
  struct OpenFile {
    OutputFile file;
    Flush flush;
    std::string buffer;         // Windows-1252 bytes not yet written
    uint64_t written = 0;       // bytes written so far
    uint64_t written_back = 0;  // of those, bytes the disk was asked to take
  };
  void Open(int number, const std::string& path, OutputFile::Mode mode, Flush flush);
  static void WriteOut(OpenFile& file);

  FileSystem& fs_;
  std::map<int, OpenFile> open_;
};

}  // namespace catpub::platform
