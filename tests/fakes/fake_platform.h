// In-memory stand-ins for the file system, the numbered files, the file stamps and the clock. Files
// live in one map from Windows path (compared without regard to case) to their lines, so tests
// assert on exactly what the program wrote and in which order.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fatal_error.h"
#include "platform/file_stamps.h"
#include "platform/file_system.h"
#include "platform/fold_case.h"
#include "platform/numbered_files.h"

namespace catpub::testing {

struct FakeFile {
  std::string path;  // as written when the file was made or renamed
  std::vector<std::string> lines;
};

// Files by folded Windows path. Shared by FakeFileSystem and FakeNumberedFiles.
class FakeDisk {
 public:
  static std::string Key(const std::string& path) { return platform::FoldCase(path); }
  // The file at `path`, made empty when there is none.
  FakeFile& File(const std::string& path) {
    FakeFile& file = files[Key(path)];
    if (file.path.empty()) file.path = path;
    return file;
  }
  void Put(const std::string& path, std::vector<std::string> lines = {}) {
    File(path).lines = std::move(lines);
  }
  bool Has(const std::string& path) const { return files.count(Key(path)) != 0; }
  const std::vector<std::string>& Lines(const std::string& path) const {
    return files.at(Key(path)).lines;
  }

  std::map<std::string, FakeFile> files;
  // Folders that exist; a file can be created only in one of them (folded, with trailing "\").
  std::set<std::string> folders;
  // Files that FileSystem::Remove leaves in place (folded), as Windows leaves a file that another
  // program holds open.
  std::set<std::string> held_open;
};

class FakeFileSystem : public platform::FileSystem {
 public:
  explicit FakeFileSystem(FakeDisk& disk, std::string drive = "c:") : disk_(disk), drive_(drive) {}
  std::string CurrentDrive() override { return drive_; }
  bool FileExists(const std::string& path) override { return disk_.Has(path); }
  std::vector<std::string> ListFiles(const std::string& folder) override {
    const std::string prefix = FakeDisk::Key(folder) + "\\";
    std::vector<std::string> names;
    for (const auto& [key, file] : disk_.files) {
      if (key.starts_with(prefix) && key.find('\\', prefix.size()) == std::string::npos) {
        names.push_back(file.path.substr(prefix.size()));
      }
    }
    return names;
  }
  std::filesystem::path LocalPath(const std::string& path) override { return path; }
  void Replace(const std::string& from, const std::string& to) override {
    auto found = disk_.files.find(FakeDisk::Key(from));
    if (found == disk_.files.end()) throw FatalError("impossibile rinominare " + from);
    FakeFile file = found->second;
    file.path = to;
    disk_.files.erase(found);
    disk_.files[FakeDisk::Key(to)] = std::move(file);
  }
  void Remove(const std::string& path) override {
    if (!disk_.held_open.count(FakeDisk::Key(path))) disk_.files.erase(FakeDisk::Key(path));
  }

 private:
  FakeDisk& disk_;
  std::string drive_;
};

class FakeNumberedFiles : public platform::NumberedFiles {
 public:
  explicit FakeNumberedFiles(FakeDisk& disk) : disk_(disk) {}
  void OpenForOutput(int number, const std::string& path, platform::Flush) override {
    CheckFolder(path);
    disk_.File(path).lines.clear();
    open_[number] = FakeDisk::Key(path);
  }
  void OpenForAppend(int number, const std::string& path) override {
    CheckFolder(path);
    disk_.File(path);
    open_[number] = FakeDisk::Key(path);
  }
  bool IsOpen(int number) const override { return open_.count(number) != 0; }
  void WriteLine(int number, std::string_view text) override {
    auto found = open_.find(number);
    if (found == open_.end()) throw FatalError("file " + std::to_string(number) + " not open");
    disk_.files[found->second].lines.emplace_back(text);
  }
  void CloseAllFiles() override { open_.clear(); }

 private:
  // With no folders declared, every folder exists.
  void CheckFolder(const std::string& path) const {
    if (disk_.folders.empty()) return;
    std::string folder = FakeDisk::Key(path.substr(0, path.rfind('\\') + 1));
    if (!disk_.folders.count(folder))
      throw FatalError("impossibile aprire " + path + ": file o cartella inesistente");
  }

  FakeDisk& disk_;
  std::map<int, std::string> open_;
};

// Stamps by local path, as tests give them: a file has none until it is given one.
class FakeFileStamps : public platform::FileStamps {
 public:
  std::optional<platform::FileStamp> StampOf(const std::filesystem::path& file) override {
    auto found = stamps.find(file);
    if (found == stamps.end()) return std::nullopt;
    return found->second;
  }
  // What another program's write does to the file's stamp: one byte longer, modified later.
  void Write(const std::filesystem::path& file) {
    platform::FileStamp& stamp = stamps[file];
    ++stamp.size;
    stamp.modified_ns += 1000000;
  }

  std::map<std::filesystem::path, platform::FileStamp> stamps;
};

class FakeClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return now; }
  platform::LocalTime now{2026, 12, 7, 15, 14, 7};
};

}  // namespace catpub::testing
