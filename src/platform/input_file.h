// A file opened for reading from start to end by the C library, as libcurl's read callback takes
// it.
#pragma once

#include <cstdio>
#include <filesystem>

namespace catpub::platform {

// Opens `file` for reading in binary mode (no translation of line ends), not inherited by child
// processes. Null on failure, with errno saying why.
std::FILE* OpenForReading(const std::filesystem::path& file);

}  // namespace catpub::platform
