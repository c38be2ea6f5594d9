#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "platform/binary_output.h"

namespace catpub::platform {

// The C library's descriptors, as on POSIX; the copy of standard output is put in binary mode, or
// every "\n" in a frame would reach the parent as "\r\n".
std::optional<BinaryOutput> BinaryOutput::TakeStandardOutput() {
  std::fflush(stdout);
  const int out = ::_dup(1);
  if (out < 0 || ::_dup2(2, 1) < 0) return std::nullopt;
  ::_setmode(out, _O_BINARY);
  return BinaryOutput(out);
}

bool BinaryOutput::Write(std::string_view bytes) const {
  while (!bytes.empty()) {
    const unsigned chunk =
        bytes.size() > (1u << 30) ? 1u << 30 : static_cast<unsigned>(bytes.size());
    const int written = ::_write(descriptor_, bytes.data(), chunk);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace catpub::platform
