// Windows paths onto one real folder, for tests that need real files: drive X: is the subfolder "x"
// of the folder and "\" separates components, which are taken as written (no case matching).
// Records the paths it was asked to translate.
#pragma once

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

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
  std::vector<std::string> ListFiles(const std::string& folder) override {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(LocalPath(folder), error)) {
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    return names;
  }
  std::filesystem::path LocalPath(const std::string& path) override {
    translated_.push_back(path);
    std::filesystem::path local = root_;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
      local /= std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))));
      start = 2;
    }
    while (start < path.size()) {
      size_t end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      if (end > start) local /= path.substr(start, end - start);
      start = end + 1;
    }
    return local;
  }
  void Replace(const std::string& from, const std::string& to) override {
    std::error_code error;
    std::filesystem::rename(LocalPath(from), LocalPath(to), error);
    if (error) throw FatalError("impossibile rinominare " + from + " in " + to);
  }
  void Remove(const std::string& path) override {
    std::error_code error;
    std::filesystem::remove(LocalPath(path), error);
  }

  const std::vector<std::string>& translated() const { return translated_; }

 private:
  std::filesystem::path root_;
  std::vector<std::string> translated_;
};

}  // namespace catpub::testing
