// What the running process knows of itself.
#pragma once

#include <cstdint>
#include <filesystem>

namespace catpub::platform {

// The number the system gives this process, which no other running process has.
uint64_t ProcessId();

// The executable file this process runs; empty when the system does not say.
std::filesystem::path ProgramFile();

}  // namespace catpub::platform
