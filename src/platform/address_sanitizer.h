// CATPUB_ASAN is defined in a build under AddressSanitizer (GCC and clang), which reserves
// terabytes of address space: no address-space limit can apply to such a build.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define CATPUB_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CATPUB_ASAN 1
#endif
#endif
