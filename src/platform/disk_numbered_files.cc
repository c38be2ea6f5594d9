#include "platform/disk_numbered_files.h"

#include <optional>

#include "platform/fatal_error.h"
#include "platform/windows_1252.h"

namespace catpub::platform {
namespace {

constexpr size_t kBufferLimit = 1 << 16;
// A file written in one go (kOnClose) is handed to the disk in steps of this size as it grows. Left
// to the end, the kernel would write all of it when the file is renamed over the file it replaces
// (ext4 does so, so that a crash cannot leave an empty file), and the run would wait for that.
constexpr uint64_t kWriteBackStep = uint64_t{8} << 20;

}  // namespace

DiskNumberedFiles::~DiskNumberedFiles() = default;

void DiskNumberedFiles::Open(int number, const std::string& path, OutputFile::Mode mode,
                             Flush flush) {
  if (open_.count(number)) {
    throw FatalError("il file numero " + std::to_string(number) + " è già aperto");
  }
  open_.emplace(number, OpenFile{OutputFile(fs_.LocalPath(path), path, mode), flush, {}});
}

void DiskNumberedFiles::OpenForOutput(int number, const std::string& path, Flush flush) {
  Open(number, path, OutputFile::Mode::kTruncate, flush);
}

void DiskNumberedFiles::OpenForAppend(int number, const std::string& path) {
  Open(number, path, OutputFile::Mode::kAppend, Flush::kEachLine);
}

void DiskNumberedFiles::WriteLine(int number, std::string_view text) {
  auto found = open_.find(number);
  if (found == open_.end()) {
    throw FatalError("il file numero " + std::to_string(number) + " non è aperto");
  }
  OpenFile& file = found->second;
  AppendWindows1252(text, file.buffer);
  file.buffer += "\r\n";  // Windows line end, on purpose
  if (file.flush == Flush::kEachLine || file.buffer.size() >= kBufferLimit) WriteOut(file);
}

void DiskNumberedFiles::WriteOut(OpenFile& file) {
  file.file.Write(file.buffer);
  file.written += file.buffer.size();
  file.buffer.clear();
  if (file.flush == Flush::kOnClose && file.written - file.written_back >= kWriteBackStep) {
    file.file.StartWriteBack(file.written_back, file.written);
    file.written_back = file.written;
  }
}

void DiskNumberedFiles::CloseAllFiles() {
  // Every file is closed even when one of them fails; the first failure is reported.
  std::optional<FatalError> failure;
  for (auto& [number, file] : open_) {
    try {
      WriteOut(file);
    } catch (const FatalError& error) {
      if (!failure) failure = error;
    }
    try {
      file.file.Close();
    } catch (const FatalError& error) {
      if (!failure) failure = error;
    }
  }
  open_.clear();
  if (failure) throw *failure;
}

}  // namespace catpub::platform
