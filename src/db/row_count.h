// The words for a table whose rows do not add up. A table that yields fewer rows than it stores is
// damaged, never a smaller catalogue; one that yields more is damaged too. The program judges the
// tables it reads (db/mdb_table_source.cc, whole or in parts); the reader judges only the catalog,
// which it reads for itself and never sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace catpub::db {

// "la tabella T contiene S righe ma se ne leggono R": table `table` stores `stored` rows and all
// the readings of it yielded `read`.
std::string RowCountMismatch(std::string_view table, uint64_t stored, uint64_t read);

// "la tabella T contiene S righe ma se ne leggono di più": said at the first row past `stored`,
// before the rest are counted.
std::string RowCountExceeded(std::string_view table, uint64_t stored);

}  // namespace catpub::db
