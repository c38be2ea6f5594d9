// A bound data source of Form1 (var, codean, listi01): point it at a database, give it a record
// source, refresh, then walk the record set. Rows come in stored order, so the first row returned
// is the first one stored. The first "where C = N" query on a table reads the table once and keeps
// the first row for each value of C (db/first_row_index.h); later queries on it are answered from
// there with the answer a scan would give.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/first_row_index.h"
#include "db/record_source.h"
#include "db/table_source.h"
#include "db/value.h"
#include "platform/fatal_error.h"

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

  // While walking a whole table: the value of `column` in the row `distance` rows after the current
  // one (1 is the next row, at most kMostAhead), read early so that a caller can prepare for it.
  // Nothing past the last row or for a column the table does not have. A failure to read the row
  // is not reported here but by the MoveNext that reaches it, as it would be without reading ahead.
  static constexpr size_t kMostAhead = 4;
  const Value* Ahead(size_t distance, std::string_view column);
  // A hint that a query "where C = value" on the last table and column queried that way is coming:
  // see FirstRowIndex::PrefetchFor. Nothing happens before the first such query.
  void PrefetchWhere(int64_t value, FirstRowIndex::Prefetch what) const {
    if (last_index_.index) last_index_.index->first_rows.PrefetchFor(value, what);
  }

  const std::string& database_name() const { return database_; }

  // Drops every row read so far (the walk, the rows kept for where queries): the next Refresh reads
  // the database again, as it must once the file has changed.
  void ForgetRows();

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
  // A large table is read in parts at the same time (TableSource::OpenTableParts): one a core.
  static constexpr uint32_t kIndexParts = 2;
  static Index BuildIndex(std::vector<std::unique_ptr<RowCursor>>& parts,
                          const RecordSource& source, const std::string& database);
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
  // Rows of the walk read ahead of the current one, oldest first, in a ring whose rows keep their
  // memory from use to use; and a failure met reading ahead, for the MoveNext that reaches it.
  std::array<std::vector<Value>, kMostAhead> ahead_;
  size_t ahead_first_ = 0;
  size_t ahead_count_ = 0;
  std::optional<FatalError> ahead_failure_;
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
