// A bound on the memory a process may take, so that a library that allocates without end (libmdb
// on some damaged files) makes an allocation fail instead of exhausting the machine.
#pragma once

#include <cstdint>

namespace catpub::platform {

// Limits the memory this process may take on from now on to `megabytes` beyond what it holds
// already (its program and the files it has mapped). Beyond it, allocations fail (operator new
// throws std::bad_alloc). A limit the system refuses is left unset. In a build under
// AddressSanitizer, which reserves terabytes of address space, no limit applies: such a build
// bounds the process's resident memory through the sanitizer's own options instead.
void LimitThisProcessMemory(uint64_t megabytes);

}  // namespace catpub::platform
