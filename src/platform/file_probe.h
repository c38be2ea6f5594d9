// A first look at a file, for checks that refuse a wrong file with a clear message before anything
// opens it for real: what is at the path, how long it is, and its first bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace catpub::platform {

enum class FileKind { kMissing, kFolder, kRegular, kOther };

struct FileProbe {
  // How far the look went: kLooking when nothing could be learnt of the path, kOpening or kReading
  // when a regular file's first bytes could not be read. `reason` then says why, in the shop's
  // words ("accesso negato"), and the fields below hold what was learnt before.
  enum class Failure { kNone, kLooking, kOpening, kReading };
  Failure failure = Failure::kNone;
  std::string reason;
  // kMissing also when a folder on the way is missing or is a file.
  FileKind kind = FileKind::kMissing;
  uint64_t size = 0;  // of a regular file
  std::string start;  // its first bytes: as many as asked for, fewer when it is shorter
};

// Looks at `file` and, when it is a regular file that is not empty, reads its first `start_bytes`
// bytes. Never throws; what failed is in the result.
FileProbe ProbeFile(const std::filesystem::path& file, size_t start_bytes);

}  // namespace catpub::platform
