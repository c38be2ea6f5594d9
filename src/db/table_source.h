// Where rows come from: a table of a database file, walked in stored order. The real source reads
// Access files through a reader process; tests use tables held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace catpub::db {

class RowCursor {
 public:
  virtual ~RowCursor() = default;
  // Column names in stored order, as the database spells them.
  virtual const std::vector<std::string>& Columns() const = 0;
  // Reads the next row into `row`, one value per column; false after the last row. Throws
  // FatalError when the table turns out to be damaged.
  virtual bool Next(std::vector<Value>& row) = 0;
  // Reads the next row encoded as db/row_codec.h says; `encoded` stays valid until the next call
  // and may point into `buffer`. False after the last row; throws as Next does. The default encodes
  // what Next reads; a source that receives rows encoded hands them over without decoding them.
  virtual bool NextEncoded(std::string& buffer, std::string_view& encoded);
  // How many rows the table says it stores, for sizing what will hold them; 0 when unknown. Only a
  // hint: Access leaves the count short of the rows after edits, and a damaged file may say
  // anything; the rows themselves are what counts.
  virtual uint64_t RowsStored() const { return 0; }
};

class TableSource {
 public:
  virtual ~TableSource() = default;
  // Opens table `table` (matched case-insensitively) of the database at `database` (a Windows path)
  // for a walk in stored order. Throws FatalError naming the file (and table) when the database
  // cannot be read or has no such table.
  virtual std::unique_ptr<RowCursor> OpenTable(const std::string& database,
                                               const std::string& table) = 0;
  // Opens the table as up to `parts` cursors over consecutive runs of its rows, to be walked at the
  // same time (each by one thread): the rows of the first cursor, then those of the second, and so
  // on, are the table's rows in stored order. Throws as OpenTable does. The default opens the whole
  // table as one part.
  virtual std::vector<std::unique_ptr<RowCursor>> OpenTableParts(const std::string& database,
                                                                 const std::string& table,
                                                                 uint32_t parts);
};

}  // namespace catpub::db
