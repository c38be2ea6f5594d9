#include "platform/windows_file_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/fatal_error.h"
#include "platform/fold_case.h"
#include "platform/system_error_text.h"
#include "platform/utf8_path.h"

namespace catpub::platform {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> SplitComponents(std::string_view rest) {
  std::vector<std::string> components;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view component = rest.substr(start, end - start);
    // Windows ignores empty and "." components; ".." climbs one level.
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.emplace_back(component);
    }
    start = end + 1;
  }
  return components;
}

// The entry of `folder` that `name` names: spelled exactly so, else the one equal without regard to
// case. Empty when there is none.
std::string MatchEntry(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / Utf8Path(name), error)) return name;
  const std::string folded = FoldCase(name);
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string entry = Utf8Text(it->path().filename());
    if (FoldCase(entry) == folded) return entry;
  }
  return {};
}

bool IsInside(const fs::path& path, const fs::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first ==
         folder.end();
}

}  // namespace

WindowsFileSystem::WindowsFileSystem(fs::path drives, fs::path working_dir)
    : drives_(std::move(drives)), working_dir_(std::move(working_dir)) {}

std::string WindowsFileSystem::CurrentDrive() {
  if (drives_.empty()) {
    // The drive of the working directory; one on a share (\\server\share) has none.
    const std::string root = Utf8Text(working_dir_.root_name());
    const bool drive =
        root.size() == 2 && root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0]));
    return drive ? std::string(1, static_cast<char>(std::tolower(root[0]))) + ":" : "c:";
  }
  std::error_code error;
  fs::path drives = fs::weakly_canonical(drives_, error);
  fs::path working_dir = fs::weakly_canonical(working_dir_, error);
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    fs::path drive = drives / std::string(1, letter);
    if (fs::is_directory(drive, error) && IsInside(working_dir, drive)) {
      return std::string(1, letter) + ":";
    }
  }
  return "c:";
}

fs::path WindowsFileSystem::LocalPath(const std::string& path) {
  // The system's own paths, case-insensitive by themselves; "\orbis" is on the working directory's
  // drive, as Windows takes it.
  if (drives_.empty()) return working_dir_ / Utf8Path(path);
  std::string_view rest = path;
  fs::path local;
  const bool has_drive =
      rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]));
  if (has_drive) {
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(rest[0])));
    local = drives_ / std::string(1, letter);
    rest.remove_prefix(2);
  } else if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
    local = drives_ / CurrentDrive().substr(0, 1);
  } else {
    local = working_dir_;
  }
  bool matching = true;
  for (const std::string& component : SplitComponents(rest)) {
    std::string entry = matching ? MatchEntry(local, component) : std::string();
    if (entry.empty()) {
      // Nothing by that name: the rest is spelled as written (a file about to be created).
      matching = false;
      entry = component;
    }
    local /= Utf8Path(entry);
  }
  return local;
}

bool WindowsFileSystem::FileExists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(LocalPath(path), error);
}

std::vector<std::string> WindowsFileSystem::ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(LocalPath(folder), error), end; !error && it != end;
       it.increment(error)) {
    // An entry that cannot be examined (a dangling link) is no regular file; the listing goes on.
    std::error_code entry_error;
    if (it->is_regular_file(entry_error)) names.push_back(Utf8Text(it->path().filename()));
  }
  return names;
}

void WindowsFileSystem::Replace(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::rename(LocalPath(from), LocalPath(to), error);
  if (error)
    throw FatalError("impossibile rinominare " + from + " in")
        .InFile(to)
        .Because(SystemErrorText(error.value()));
}

void WindowsFileSystem::Remove(const std::string& path) {
  std::error_code error;
  fs::remove(LocalPath(path), error);
}

}  // namespace catpub::platform
