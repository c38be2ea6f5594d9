// Windows paths over the Linux file system. The program keeps every path in its Windows form
// ("C:\orbis\articoli.csv"); only this layer turns one into a Linux path. Drive X: is the folder
// $CATALOG_PUBLISHER_DRIVES/x (default /mnt); components match what exists case-insensitively; a
// path without a drive letter is relative to the working directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace catpub::platform {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The drive that holds the working directory, as "c:"; "c:" when no drive folder holds it.
  virtual std::string CurrentDrive() = 0;
  // True when a regular file exists at the path (folders do not count).
  virtual bool FileExists(const std::string& path) = 0;
  // The names of the regular files in the folder (folders do not count), spelled as on disk, in no
  // particular order. Never fails: a folder that does not exist or cannot be read lists nothing,
  // or what could be read of it.
  virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  // The Linux path for a Windows path: existing components as they are spelled on disk, the rest as
  // written. Never fails; the result may not exist.
  virtual std::filesystem::path LocalPath(const std::string& path) = 0;
  // Renames file `from` over file `to`, replacing it in one step. Throws FatalError on failure.
  virtual void Replace(const std::string& from, const std::string& to) = 0;
  // Removes the file when it exists; never fails.
  virtual void Remove(const std::string& path) = 0;
};

}  // namespace catpub::platform
