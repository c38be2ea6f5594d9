#include <cstdio>

#include "platform/input_file.h"

namespace catpub::platform {

std::FILE* OpenForReading(const std::filesystem::path& file) {
  return std::fopen(file.c_str(), "rbe");  // "e": close-on-exec
}

}  // namespace catpub::platform
