// A bound data source of Form1 (var, codean, listi01): point it at a database, give it a record
// source, refresh, then walk the record set. Rows come in stored order, so the first row returned is
// the first one stored. The first "where C = N" query on a table reads the table once and indexes C;
// later queries on it are answered from that index with the answer a scan would give.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/record_source.h"
#include "db/table_source.h"
#include "db/value.h"

namespace catpub::db {

class DataSource {
 public:
  explicit DataSource(TableSource& tables) : tables_(tables) {}
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;

  void SetDatabaseName(std::string path) { database_ = std::move(path); }
  void SetRecordSource(std::string sql) { record_source_ = std::move(sql); }
  // Runs the record source on the database; the record set is positioned on its first row. Throws
  // FatalError when the database, table or where column cannot be read.
  void Refresh();
  // True exactly when there is no current row.
  bool Eof() const { return !has_row_; }
  // Throws FatalError for a column the table does not have, or at end-of-file.
  bool IsNull(std::string_view column) const;
  const Value& Field(std::string_view column) const;
  void MoveNext();

  const std::string& database_name() const { return database_; }
  const std::string& table_name() const { return table_; }

 private:
  // First row stored for each value of one column.
  struct Index {
    std::vector<std::string> columns;
    std::unordered_map<int64_t, std::vector<Value>> first_rows;
  };
  const Index& IndexFor(const RecordSource& source);
  size_t ColumnIndex(std::string_view column) const;

  TableSource& tables_;
  std::string database_;
  std::string record_source_;
  std::string table_;
  std::unique_ptr<RowCursor> cursor_;  // set while walking a whole table
  std::vector<std::string> columns_;
  std::vector<Value> row_;
  bool has_row_ = false;
  // Keyed by folded database path + table + column.
  std::map<std::string, Index> indexes_;
};

}  // namespace catpub::db
