#include <unistd.h>

#include <system_error>

#include "platform/this_process.h"

namespace catpub::platform {

uint64_t ProcessId() { return static_cast<uint64_t>(::getpid()); }

std::filesystem::path ProgramFile() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
}

}  // namespace catpub::platform
