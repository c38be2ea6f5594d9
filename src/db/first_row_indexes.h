// The first-row indexes of the "where C = N" queries of one data source: the first query on a
// table and column reads the table once (in parts, on threads) and keeps the first row stored for
// each whole-number value of the column; later queries on it are answered from there. A price list
// is queried once per article, always on the same table and column, so the index of the last query
// is found again by its texts as given, without folding them.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "db/column_names.h"
#include "db/first_row_index.h"
#include "db/table_source.h"

namespace catpub::db {

// A table's columns and the first row stored for each whole-number value of one of them.
struct IndexedTable {
  ColumnNames columns;
  FirstRowIndex first_rows;
};

class FirstRowIndexes {
 public:
  explicit FirstRowIndexes(TableSource& tables) : tables_(tables) {}
  FirstRowIndexes(const FirstRowIndexes&) = delete;
  FirstRowIndexes& operator=(const FirstRowIndexes&) = delete;

  // The index of table `table` of `database` by `column` (names and path compared as db/names.h
  // says), built on first use. The reference lives until Forget. Throws FatalError when the
  // database, table or column cannot be read, or the index does not fit in memory.
  const IndexedTable& For(const std::string& database, const std::string& table,
                          const std::string& column);
  // The index the last call to For returned; nullptr before the first one.
  const IndexedTable* last() const { return last_.index; }
  // Drops every index, as once the file has changed: the next query reads its table again.
  void Forget();

 private:
  struct Last {
    std::string database;
    std::string table;
    std::string column;
    const IndexedTable* index = nullptr;
  };
  // A large table is read in parts at the same time (TableSource::OpenTableParts): one a core.
  static constexpr uint32_t kParts = 2;

  TableSource& tables_;
  // Keyed by folded database path + table + column.
  std::map<std::string, IndexedTable> indexes_;
  Last last_;
};

}  // namespace catpub::db
