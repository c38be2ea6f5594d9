// A file written from its start to its end through the system's own calls: the numbered files'
// way to the disk. Failures name the file by its Windows path, with the system's reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace catpub::platform {

class OutputFile {
 public:
  enum class Mode {
    kTruncate,  // written from the start, what it held before dropped
    kAppend,    // written after what it holds
  };

  // Opens the file at `local_path` (`windows_path` names it in messages), creating it when it is
  // missing, so that no child process inherits it. Throws FatalError ("impossibile aprire") on
  // failure.
  OutputFile(const std::filesystem::path& local_path, std::string windows_path, Mode mode);
  // Closes the file if Close was not called, without a word: a run that ends so has failed already.
  ~OutputFile();
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& windows_path() const { return windows_path_; }
  // Writes all of `bytes`. Throws FatalError ("impossibile scrivere") on failure.
  void Write(std::string_view bytes);
  // Asks the system to start writing bytes [from, to) to the disk now, without waiting for it; a
  // failure shows in a later write or the close.
  void StartWriteBack(uint64_t from, uint64_t to);
  // Closes the file. Throws FatalError ("impossibile chiudere") when the system reports that what
  // was written did not reach the file.
  void Close();

 private:
  std::string windows_path_;
  intptr_t handle_ = -1;  // the system's handle; -1 once closed
};

}  // namespace catpub::platform
