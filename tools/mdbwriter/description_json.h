// The JSON description of a database that mdb-write turns into an Access 2000 file.
//
//   {"tables": [
//     {"name": "società",
//      "columns": [{"name": "codute", "type": "Long"},
//                  {"name": "database", "type": "Text", "size": 255}],
//      "rows": [[1, "C:\\ORBIS\\DATI.MDB"],
//               [null, ""]]}]}
//
// "tables" lists the tables in the order they are written; "rows" (optional, default none) holds
// one array per row, one value per column, stored in the order given. "moved" (optional) lists
// rows, numbered from 1, whose data Access moved to a later page (a number listed twice: moved
// twice); "catalog_moved": true moves the table's catalog row so (mdb_writer.h, Table).
// "stored_rows" (optional, an integer 0..4294967295) is the row count the table's definition
// records when it is not the number of rows: Access leaves that count behind, one lower, after
// edits that moved rows, and a higher one makes a damaged file. "catalog_stored_rows" (optional,
// beside "tables") does the same for the catalog MSysObjects (2 rows and one per table).
// Column "type" is one of Yes/No (or Boolean), Byte, Integer, Long, Currency, Single, Double,
// Date/Time (or DateTime), Text, Memo, in any letter case; "size" is given for Text only
// (characters, 1..255, default 255).
//
// Values, by column type (JSON null is Null in any column but Yes/No; "" is an empty text, not
// Null):
//   Yes/No              true or false
//   Byte/Integer/Long   a JSON integer within the type's range
//   Currency            a decimal string with at most 4 decimals ("1.35", "-0.0001"), kept exactly,
//                       or a JSON integer (whole units)
//   Single, Double      a JSON number (a Single gets the nearest Single), or a string read as C's
//                       strtof/strtod read it ("0.1", "-0", "1e20"); JSON's -0 is the integer 0,
//                       so write -0.0 or "-0" for negative zero
//   Date/Time           days since 30/12/1899 as a JSON number (the fraction is the time of day),
//                       or "yyyy-mm-dd", "yyyy-mm-dd hh:mm" or "yyyy-mm-dd hh:mm:ss" (years
//                       100..9999; before 30/12/1899 the days are negative and the time still
//                       counts forward, as Access stores it: "1899-12-29 06:00:00" is -1.25)
//   Text, Memo          a string (UTF-8; characters outside the Basic Multilingual Plane are
//                       refused)
// Unknown keys are errors, so that a misspelt key is not silently ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "mdbwriter/mdb_writer.h"

namespace catpub::mdbwriter {

// What a description holds: WriteDatabase's arguments.
struct Description {
  std::vector<Table> tables;
  std::optional<uint32_t> catalog_stored_rows;
};

// Reads a description. Throws std::runtime_error naming the place (table, row, column) of what is
// wrong.
Description ParseDescription(std::string_view json);

// "1.35" -> 13500 ten-thousandths. Throws std::runtime_error for anything else than an optionally
// signed decimal with at most 4 decimals within the Currency range.
int64_t ParseCurrency(std::string_view text);

// "2000-01-01 12:00:00" -> 36526.5 days since 30/12/1899. Throws std::runtime_error for another
// form or an impossible date or time.
double ParseDateTime(std::string_view text);

}  // namespace catpub::mdbwriter
