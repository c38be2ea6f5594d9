#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace catpub::platform {

// The reason of a failed system call in the shop's words. The C library's own texts are English,
// and every line the run log and stderr get is Italian.
// By the C library's errno.
std::string SystemErrorText(int error);
// By a std::filesystem error: on Windows its system category holds Windows' own error codes, its
// generic category errno values.
std::string SystemErrorText(const std::error_code& error);
// By a Windows error code (GetLastError()), for the Windows side of the platform; the same texts
// as errno's for the same failures.
std::string WindowsErrorText(uint32_t error);

}  // namespace catpub::platform
