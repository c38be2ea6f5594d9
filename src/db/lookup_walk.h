// The article export's walk: a table walked in stored order and, for each of its rows, the first
// stored row of another table whose column equals the row's key (each barcode of codean, and the
// first price row of its article in listi01). Rows, keys and failures are exactly those that
// walking the one data source and querying the other row by row would give.
//
// What makes a walk of a million rows fast stays in here. The walked table is read two rows ahead
// of the current one, and each row's key is computed once, mostly while the row is read ahead. The
// lookups land anywhere in a large index (db/first_row_index.h): a key's place in it is fetched
// from memory two rows before its lookup, and the row it names one row before, so that both have
// arrived when the lookup asks for them. The columns read on every row are found once, not at
// every read. The caller owns both data sources; the walk only moves them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/data_source.h"
#include "db/value.h"

namespace catpub::db {

class LookupWalk {
 public:
  // A walked row as a KeyOf reads it: its values by the places of their columns in
  // WalkedTable::columns. Valid during the call of KeyOf only.
  class Row {
   public:
    // `values` of a row read ahead; nullptr for the current row.
    Row(const LookupWalk& walk, const std::vector<Value>* values) : walk_(walk), values_(values) {}
    // Throws FatalError for a column the table does not have.
    const Value& operator[](size_t column) const {
      const DataSource::Column bound = walk_.walked_columns_[column];
      return values_ ? walk_.walked_.FieldAhead(*values_, bound) : walk_.walked_.Field(bound);
    }

   private:
    const LookupWalk& walk_;
    const std::vector<Value>* values_;
  };
  // The key a walked row is looked up by; nothing when the row asks for no lookup. Throws
  // FatalError when the row gives no key.
  using KeyOf = std::optional<int32_t> (*)(const Row& row);

  // The table walked: a data source walking a whole table, on its first row or past its last; the
  // columns that Walked and KeyOf read; how a row gives its key.
  struct WalkedTable {
    DataSource& rows;
    std::span<const std::string_view> columns;
    KeyOf key_of;
  };
  // The table looked up: a data source that LookUp points at `database` with the record source
  // `query` followed by the key ("select * from listi01 where codart = " and "12"); the columns
  // that Found reads.
  struct LookedUpTable {
    DataSource& rows;
    std::string_view database;
    std::string_view query;
    std::span<const std::string_view> columns;
  };

  // Starts on the walked data source's current row and reads the two rows after it. Both data
  // sources must outlive the walk, and only the walk may move them meanwhile; the texts are
  // copied. A failure to read a row ahead is thrown by the MoveNext that reaches the row.
  LookupWalk(const WalkedTable& walked, const LookedUpTable& looked);
  LookupWalk(const LookupWalk&) = delete;
  LookupWalk& operator=(const LookupWalk&) = delete;

  // True exactly when the walk is past the walked table's last row.
  bool Eof() const { return walked_.Eof(); }
  // Moves to the next walked row, and reads one more row ahead. Throws FatalError when the next
  // row cannot be read.
  void MoveNext();

  // The current row's key, as KeyOf gives it. A key computed while its row was read ahead is
  // kept; when KeyOf threw for the row then, it is called again now, so that the failure is
  // thrown here, at its own row.
  std::optional<int32_t> Key();
  // Points the looked-up data source at the current row's key: true when it has a row with it,
  // whose values Found then gives; false when it has none, or when the current row has no key
  // (nothing is then asked of it). Throws what Key throws, and FatalError when the looked-up
  // database, table or column cannot be read.
  bool LookUp();

  // The current walked row's value of WalkedTable::columns[column]. Throws FatalError for a column
  // the table does not have.
  const Value& Walked(size_t column) const { return walked_.Field(walked_columns_[column]); }
  // The found row's value of LookedUpTable::columns[column], after a LookUp that found one, until
  // the next LookUp. Throws FatalError for a column the table does not have.
  const Value& Found(size_t column) const { return looked_.Field(looked_columns_[column]); }

 private:
  struct RowKey {
    bool known = false;  // false until computed, or when KeyOf threw while reading ahead
    std::optional<int32_t> key;
  };

  RowKey KeyAhead(size_t distance);

  DataSource& walked_;
  DataSource& looked_;
  const KeyOf key_of_;
  const std::vector<DataSource::Column> walked_columns_;
  const std::vector<DataSource::Column> looked_columns_;
  const std::string database_;
  // The record source of the last lookup: LookedUpTable::query, then the key.
  std::string query_;
  const size_t query_size_;  // of LookedUpTable::query
  // The keys of the current row, the next one and the one after.
  std::array<RowKey, 3> keys_;
};

}  // namespace catpub::db
