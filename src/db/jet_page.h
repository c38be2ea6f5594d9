// The page of an Access 2000 (Jet 4) file. Every page is this size, so the program's file checks,
// the reader and the project's writer all take it from here; it needs nothing of the reader's side.
#pragma once

#include <cstddef>

namespace catpub::db {

inline constexpr size_t kJetPageSize = 4096;

// Access puts at most this many rows on a data page (a moved row's pointer names its row in one
// byte). Since a table scan reads each page once, a table yields at most this many rows for each
// page of its file, whatever its definition says it stores.
inline constexpr size_t kMostRowsOnPage = 255;

}  // namespace catpub::db
