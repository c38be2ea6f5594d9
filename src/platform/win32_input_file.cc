#include <cstdio>

#include "platform/input_file.h"

namespace catpub::platform {

// By its wide path: fopen() would take the name in the ANSI code page. "N": not inherited.
std::FILE* OpenForReading(const std::filesystem::path& file) {
  return ::_wfopen(file.c_str(), L"rbN");
}

}  // namespace catpub::platform
