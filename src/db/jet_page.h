// The page of an Access 2000 (Jet 4) file. Every page is this size, so the program's file checks,
// the reader and the project's writer all take it from here; it needs nothing of the reader's side.
#pragma once

#include <cstddef>

namespace catpub::db {

inline constexpr size_t kJetPageSize = 4096;

}  // namespace catpub::db
