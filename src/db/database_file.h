// The checks a database file passes before any reader touches it: it exists, is a regular non-empty
// file, carries the Access 2000 (Jet 4) signature and is a whole number of pages long. They catch
// the common wrong files with a clear message, before the reader process is started.
#pragma once

#include <filesystem>
#include <string>

#include "db/jet_page.h"

namespace catpub::db {

// Throws FatalError naming `windows_path` when the file at `local_path` is missing, a folder,
// empty, not an Access database, an Access database of another version (Access 97, Access 2007 and
// later), or truncated (not a whole number of pages).
void CheckAccess2000File(const std::filesystem::path& local_path, const std::string& windows_path);

}  // namespace catpub::db
