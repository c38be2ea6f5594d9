// A bound data source of Form1 (var, codean, listi01): point it at a database, give it a record
// source, refresh, then walk the record set. Rows come in stored order, so the first row returned
// is the first one stored. The first "where C = N" query on a table reads the table once and keeps
// the first row for each value of C (db/first_row_index.h); later queries on it are answered from
// there with the answer a scan would give.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/first_row_index.h"
#include "db/record_source.h"
#include "db/table_source.h"
#include "db/value.h"

namespace catpub::db {

class DataSource {
 public:
  explicit DataSource(TableSource& tables) : tables_(tables) {}
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
  // Throws FatalError for a column the table does not have, or at end-of-file. Cheap: callers ask
  // for a dozen columns of each of a million rows.
  bool IsNull(std::string_view column) const;
  const Value& Field(std::string_view column) const;
  void MoveNext();

  const std::string& database_name() const { return database_; }

 private:
  // A table's column names as stored and folded (db/names.h).
  struct ColumnNames {
    explicit ColumnNames(const std::vector<std::string>& stored);
    std::vector<std::string> names;
    std::vector<std::string> folded;
  };
  // First row stored for each whole-number value of one column.
  struct Index {
    ColumnNames columns;
    FirstRowIndex first_rows;
  };
  // The last index used, found again by the texts of its query without folding them.
  struct LastIndex {
    std::string database;
    std::string table;
    std::string column;
    const Index* index = nullptr;
  };
  const Index& IndexFor(const RecordSource& source);
  static Index BuildIndex(RowCursor& cursor, const RecordSource& source,
                          const std::string& database);
  size_t ColumnIndex(std::string_view column) const;
  // A new current row: column lookups start again at the first remembered position.
  void RowChanged() const { lookups_since_row_ = 0; }

  TableSource& tables_;
  std::string database_;
  std::string record_source_;
  std::string table_;
  std::unique_ptr<RowCursor> cursor_;          // set while walking a whole table
  std::unique_ptr<ColumnNames> walk_columns_;  // the walked table's columns
  const ColumnNames* columns_ = nullptr;       // the current record set's columns
  std::vector<Value> row_;
  bool has_row_ = false;
  // Callers read the same columns in the same order on every row: the n-th lookup since the row
  // changed is tried first at the column that the n-th lookup found last time, then from where
  // the last lookup ended.
  static constexpr size_t kRememberedLookups = 16;
  mutable std::array<size_t, kRememberedLookups> remembered_columns_{};
  mutable size_t lookups_since_row_ = 0;
  mutable size_t next_column_ = 0;
  // Keyed by folded database path + table + column.
  std::map<std::string, Index> indexes_;
  LastIndex last_index_;
};

}  // namespace catpub::db
