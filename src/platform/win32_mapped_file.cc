#include "platform/mapped_file.h"

namespace catpub::platform {

// On Windows the reader does not map the database: libmdb reads from memory only through
// fmemopen(), which Windows lacks, so the reader gives libmdb the path instead, and libmdb opens it
// sharing read, write and delete, as the shop's software expects. A mapping would also keep the
// file from being truncated or replaced while the reader runs, which the shop's software may do.
// Empty: the caller reads the file by its path.
MappedFile::MappedFile(const std::filesystem::path&) {}

MappedFile::~MappedFile() = default;

void MappedFile::ReleaseResidentPages() const {}

}  // namespace catpub::platform
