// Writes new Access 2000 (Jet 4) database files for tests and benchmarks: tables with typed
// columns and rows stored in the order given. No indexes, queries or relationships.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/value.h"

namespace catpub::mdbwriter {

enum class ColumnType {
  kBoolean,   // Yes/No: Value bool, never Null
  kByte,      // uint8_t (any integer alternative that fits is accepted)
  kInteger,   // int16_t (idem)
  kLong,      // int32_t (idem)
  kCurrency,  // db::Currency (an integer alternative is taken as whole units)
  kSingle,    // float (a double that converts exactly is accepted)
  kDouble,    // double (float and integer alternatives are widened exactly)
  kDateTime,  // db::DateTime
  kText,      // std::string, UTF-8, at most text_length characters
  kMemo,      // std::string, UTF-8, up to 8,388,607 characters
};

struct Column {
  std::string name;
  ColumnType type;
  int text_length = 255;  // Text: characters, 1..255
};

struct Table {
  std::string name;
  std::vector<Column> columns;
  std::vector<std::vector<db::Value>> rows;  // used when `generate` is empty
  // Streams rows for big tables: fills `row` (one value per column) and returns true, or returns
  // false at the end. WriteDatabase calls a copy of it, so a generator that keeps its state by
  // value can write the same table again.
  std::function<bool(std::vector<db::Value>& row)> generate;
  // Rows (numbered from 1, in stored order) that were edited until they no longer fitted their
  // page: as Access leaves them, each keeps its place as a pointer and its data lies on a later
  // page of the table. A row listed twice was moved twice (its first new place points on again).
  std::vector<uint64_t> moved_rows = {};
  // The table's catalog row was moved so too, as editing a table's properties leaves it.
  bool catalog_row_moved = false;
  // The row count the table's definition records, when not the number of rows written: Access does
  // not keep it exact, and leaves it one lower than the rows after edits that moved rows. Stored as
  // given, lower or higher (a count higher than the rows makes a damaged file).
  std::optional<uint32_t> stored_rows = std::nullopt;
};

// Writes a new database file holding the tables (replacing the file). Names (tables and columns,
// at most 64 characters) and text are stored as UCS-2, so every character of the Basic Multilingual
// Plane is kept; a character outside it is refused. Throws std::runtime_error naming the problem
// (table, row, column): a value whose type does not fit its column, Null in Yes/No, a text longer
// than its column, a row too large for a page, duplicate names. The file is written under another
// name in the same folder and renamed into place when complete: on failure `file` is left as it
// was. The output depends only on the arguments: the same arguments give the same bytes.
// `catalog_stored_rows` is, like Table's stored_rows, the row count the catalog's definition
// records when it is not the catalog's rows (two, and one per table): Access leaves that count
// behind in the same way.
void WriteDatabase(const std::filesystem::path& file, const std::vector<Table>& tables,
                   std::optional<uint32_t> catalog_stored_rows = std::nullopt);

// Access's name of a column type ("Yes/No", "Long", "Date/Time", ...), as used in descriptions.
const char* ColumnTypeName(ColumnType type);

}  // namespace catpub::mdbwriter
