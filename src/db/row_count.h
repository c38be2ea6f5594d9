// When a table's rows do not add up, and the words for it. The row count a table's definition
// stores is advice, not a bound: Access leaves it one short after edits that moved rows, and the
// rows are all in the table's pages all the same; the Jet engine also leaves it counting rows that
// were deleted, whose slots the pages still hold. So a table that yields more rows than it stores
// is read in full; one that yields fewer than its deleted rows explain has lost rows (a lost page,
// a truncated file) and is damaged, never a smaller catalogue. What bounds a walk is the file
// itself: each page is read once and holds at most kMostRowsOnPage rows. The program judges the
// tables it reads (db/mdb_table_source.cc, whole or in parts); the reader judges only the catalog,
// which it reads for itself and never sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace catpub::db {

// Whether rows were lost from a table that stores `stored` rows, whose readings yielded `read` rows
// and found `deleted` deleted rows (wire::End::deleted_rows, summed over the readings).
bool RowsLost(uint64_t stored, uint64_t read, int64_t deleted);

// "la tabella T contiene S righe ma se ne leggono R", and " (e D cancellate)" when some were
// deleted: the rows of table `table` do not add up.
std::string RowCountMismatch(std::string_view table, uint64_t stored, uint64_t read,
                             int64_t deleted);

// "la tabella T dà più righe di quante ne possano stare nelle P pagine del file": said at the first
// row past what `pages` pages can hold.
std::string MoreRowsThanPagesHold(std::string_view table, uint64_t pages);

}  // namespace catpub::db
