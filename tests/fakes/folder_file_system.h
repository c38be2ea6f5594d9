// A file system whose drives are folders under one test folder: "C:\orbis\articoli.csv" is
// root/c/orbis/articoli.csv. Names are taken as written (no case-insensitive matching); a path
// without a drive letter is relative to drive C:'s folder.
#pragma once

#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/fatal_error.h"
#include "platform/file_system.h"

namespace catpub::testing {

class FolderFileSystem : public platform::FileSystem {
 public:
  explicit FolderFileSystem(std::filesystem::path root) : root_(std::move(root)) {}

  std::string CurrentDrive() override { return "c:"; }

  bool FileExists(const std::string& path) override {
    return std::filesystem::is_regular_file(LocalPath(path));
  }

  std::filesystem::path LocalPath(const std::string& path) override {
    std::string rest = path;
    std::string drive = "c";
    if (rest.size() >= 2 && rest[1] == ':') {
      drive = std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(rest[0]))));
      rest = rest.substr(2);
    }
    std::filesystem::path local = root_ / drive;
    size_t start = 0;
    while (start <= rest.size()) {
      size_t end = rest.find('\\', start);
      if (end == std::string::npos) end = rest.size();
      if (end > start) local /= rest.substr(start, end - start);
      start = end + 1;
    }
    return local;
  }

  void Replace(const std::string& from, const std::string& to) override {
    std::error_code error;
    std::filesystem::rename(LocalPath(from), LocalPath(to), error);
    if (error) throw FatalError("cannot rename " + from + " to " + to + ": " + error.message());
  }

  void Remove(const std::string& path) override {
    std::error_code error;
    std::filesystem::remove(LocalPath(path), error);
  }

 private:
  std::filesystem::path root_;
};

}  // namespace catpub::testing
