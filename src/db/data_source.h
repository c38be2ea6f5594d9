// A bound data source of Form1 (var, codean, listi01): point it at a database, give it a record
// source, refresh, then walk the record set. Rows come in stored order, so the first row returned
// is the first one stored. "where C = N" queries are answered from first-row indexes
// (db/first_row_indexes.h) with the answer a scan would give.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/column_names.h"
#include "db/first_row_indexes.h"
#include "db/read_ahead.h"
#include "db/table_source.h"
#include "db/value.h"

namespace catpub::db {

class DataSource {
 public:
  explicit DataSource(TableSource& tables) : indexes_(tables), tables_(tables) {}
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;

  // Both are set before every query of the export: the texts are copied into the buffers kept.
  void SetDatabaseName(std::string_view path) { database_.assign(path); }
  void SetRecordSource(std::string_view sql) { record_source_.assign(sql); }
  // Runs the record source on the database; the record set is positioned on its first row. Throws
  // FatalError when the database, table or where column cannot be read.
  void Refresh();
  // True exactly when there is no current row.
  bool Eof() const { return !has_row_; }
  void MoveNext();

  // A column that a caller reads on every row, named once: its place in each record set is found
  // when the record set is refreshed, not at each read (the walk reads a dozen columns of each of
  // a million rows). A handle is for the data source that bound it, for as long as it lives;
  // binding the same spelling again gives the same handle.
  struct Column {
    size_t bound;
  };
  Column Bind(std::string_view name);
  // The current row's value of a column. Throws FatalError for a column the table does not have,
  // or when there is no current row.
  const Value& Field(Column column) const {
    const size_t position = positions_[column.bound];
    if (!has_row_ || position == kMissing) FailField(bound_names_[column.bound]);
    return row_[position];
  }
  bool IsNull(Column column) const { return db::IsNull(Field(column)); }
  // The same by name, the column looked up at each call: for a few reads.
  const Value& Field(std::string_view column) const;
  bool IsNull(std::string_view column) const { return db::IsNull(Field(column)); }

  // For a caller that prepares for the rows to come (db/lookup_walk.h). Only while walking a whole
  // table: the row `distance` rows after the current one (1 is the next, at most
  // ReadAhead::kMostAhead), read early; nullptr past the last row, and once a row up to it cannot
  // be read (the MoveNext that reaches that row throws its failure). Valid until the next
  // MoveNext or Refresh.
  const std::vector<Value>* RowAhead(size_t distance);
  // A bound column's value in a row that RowAhead gave. Throws as Field does.
  const Value& FieldAhead(const std::vector<Value>& row, Column column) const {
    const size_t position = positions_[column.bound];
    if (position == kMissing) FailField(bound_names_[column.bound]);
    return row[position];
  }
  // A hint that changes nothing: a "where" query for `value`, on the table and column of the last
  // one, is coming. kSlot asks for the place of the value in the index, kRow (later, once that
  // has arrived) for the row it names. Nothing before the first "where" query.
  void PrefetchWhere(int64_t value, FirstRowIndex::Prefetch what) const;

  const std::string& database_name() const { return database_; }

  // Drops every row read so far (the walk, the rows kept for where queries): the next Refresh reads
  // the database again, as it must once the file has changed.
  void ForgetRows();

 private:
  static constexpr size_t kMissing = ~size_t{0};
  // Finds the bound columns in the current record set's columns.
  void PlaceBoundColumns();
  [[noreturn]] void FailField(std::string_view column) const;

  FirstRowIndexes indexes_;
  TableSource& tables_;
  std::string database_;
  std::string record_source_;
  std::string table_;
  std::unique_ptr<ReadAhead> walk_;            // set while walking a whole table
  std::unique_ptr<ColumnNames> walk_columns_;  // the walked table's columns
  const ColumnNames* columns_ = nullptr;       // the current record set's columns
  std::vector<Value> row_;
  bool has_row_ = false;
  // Names bound, and their positions in the record set whose columns are `placed_for_`.
  std::vector<std::string> bound_names_;
  std::vector<size_t> positions_;
  const ColumnNames* placed_for_ = nullptr;
};

}  // namespace catpub::db
