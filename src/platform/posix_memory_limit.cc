#include <sys/resource.h>

#include <cstdio>

#include "platform/address_sanitizer.h"
#include "platform/memory_limit.h"

namespace catpub::platform {

void LimitThisProcessMemory([[maybe_unused]] uint64_t megabytes) {
#ifndef CATPUB_ASAN
  // The address space is what Linux can bound: the limit is set above what is mapped now.
  uint64_t mapped = 0;
  if (std::FILE* status = std::fopen("/proc/self/statm", "r")) {
    unsigned long pages = 0;
    if (std::fscanf(status, "%lu", &pages) == 1) mapped = uint64_t{pages} * 4096;
    std::fclose(status);
  }
  rlimit bound{mapped + (megabytes << 20), mapped + (megabytes << 20)};
  ::setrlimit(RLIMIT_AS, &bound);
#endif
}

}  // namespace catpub::platform
