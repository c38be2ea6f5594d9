#include <cstdlib>
#include <system_error>

#include "platform/windows_file_system.h"

namespace catpub::platform {

WindowsFileSystem WindowsFileSystem::FromEnvironment() {
  namespace fs = std::filesystem;
  const char* drives = std::getenv("CATALOG_PUBLISHER_DRIVES");
  std::error_code error;
  fs::path working_dir = fs::current_path(error);
  return WindowsFileSystem(drives && *drives ? fs::path(drives) : fs::path("/mnt"), working_dir);
}

}  // namespace catpub::platform
