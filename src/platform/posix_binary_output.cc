#include <unistd.h>

#include <cerrno>

#include "platform/binary_output.h"

namespace catpub::platform {

std::optional<BinaryOutput> BinaryOutput::TakeStandardOutput() {
  const int out = ::dup(1);
  if (out < 0 || ::dup2(2, 1) < 0) return std::nullopt;
  return BinaryOutput(out);
}

bool BinaryOutput::Write(std::string_view bytes) const {
  while (!bytes.empty()) {
    ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace catpub::platform
