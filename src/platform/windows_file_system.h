// The real file system under Windows paths. On Windows they are the system's own paths. On Linux
// drive X: is the folder <drives>/x, where <drives> is $CATALOG_PUBLISHER_DRIVES or /mnt, as WSL
// mounts Windows drives; a test on either system lays out drives of its own that way.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace catpub::platform {

class WindowsFileSystem : public FileSystem {
 public:
  // `drives` holds one folder per drive letter; empty, the system's own drives are meant (Windows
  // alone has them). `working_dir` is where relative paths start.
  WindowsFileSystem(std::filesystem::path drives, std::filesystem::path working_dir);
  // The process's file system: on Windows the system's own drives, on Linux the drives folder from
  // the environment; relative paths start in the process's working directory
  // (posix_windows_file_system.cc, win32_windows_file_system.cc).
  static WindowsFileSystem FromEnvironment();

  std::string CurrentDrive() override;
  bool FileExists(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;
  std::filesystem::path LocalPath(const std::string& path) override;
  void Replace(const std::string& from, const std::string& to) override;
  void Remove(const std::string& path) override;

 private:
  std::filesystem::path drives_;
  std::filesystem::path working_dir_;
};

}  // namespace catpub::platform
