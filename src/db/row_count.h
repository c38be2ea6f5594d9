// The words for a table whose rows do not add up. The row count a table's definition stores is
// advice, not a bound: Access leaves it one short after edits that moved rows, and the rows are
// all in the table's pages all the same. So a table that yields more rows than it stores is read in
// full; one that yields fewer is damaged (a lost page, a truncated file), never a smaller
// catalogue. What bounds a walk is the file itself: each page is read once and holds at most
// kMostRowsOnPage rows. The program judges the tables it reads (db/mdb_table_source.cc, whole or
// in parts); the reader judges only the catalog, which it reads for itself and never sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace catpub::db {

// "la tabella T contiene S righe ma se ne leggono R": table `table` stores `stored` rows and all
// the readings of it yielded `read`, fewer.
std::string RowCountMismatch(std::string_view table, uint64_t stored, uint64_t read);

// "la tabella T dà più righe di quante ne possano stare nelle P pagine del file": said at the first
// row past what `pages` pages can hold.
std::string MoreRowsThanPagesHold(std::string_view table, uint64_t pages);

}  // namespace catpub::db
