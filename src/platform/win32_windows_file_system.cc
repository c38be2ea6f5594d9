#include <system_error>

#include "platform/windows_file_system.h"

namespace catpub::platform {

// The system's own drives. std::filesystem asks GetCurrentDirectoryW for the working directory, so
// a folder named outside ASCII comes whole.
WindowsFileSystem WindowsFileSystem::FromEnvironment() {
  std::error_code error;
  return WindowsFileSystem({}, std::filesystem::current_path(error));
}

}  // namespace catpub::platform
