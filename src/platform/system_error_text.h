#pragma once

#include <string>

namespace catpub::platform {

// The reason of a failed system call in the shop's words. The C library's own texts are English,
// and every line the run log and stderr get is Italian.
std::string SystemErrorText(int error);

}  // namespace catpub::platform
