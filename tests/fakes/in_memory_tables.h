// Tables held in memory, keyed by database path (compared as Windows compares paths) and table
// name, for running the data sources without Access files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/table_source.h"
#include "platform/fatal_error.h"
#include "platform/fold_case.h"

namespace catpub::testing {

struct MemoryTable {
  std::vector<std::string> columns;
  std::vector<std::vector<db::Value>> rows;
  // Reading the row at this position (counted from 0) fails, as on a damaged page.
  size_t damaged_row = SIZE_MAX;
};

class InMemoryTables : public db::TableSource {
 public:
  void Put(const std::string& database, const std::string& table, MemoryTable contents) {
    tables_[Key(database, table)] = std::move(contents);
  }

  std::unique_ptr<db::RowCursor> OpenTable(const std::string& database,
                                           const std::string& table) override {
    const MemoryTable& found = Find(database, table);
    return std::make_unique<Cursor>(found, 0, found.rows.size());
  }

  // Always as many parts as asked for, of as many rows each as can be (the last ones may be empty).
  std::vector<std::unique_ptr<db::RowCursor>> OpenTableParts(const std::string& database,
                                                             const std::string& table,
                                                             uint32_t parts) override {
    const MemoryTable& found = Find(database, table);
    const size_t size = (found.rows.size() + parts - 1) / parts;
    std::vector<std::unique_ptr<db::RowCursor>> cursors;
    for (size_t part = 0; part < parts; ++part) {
      const size_t begin = std::min(part * size, found.rows.size());
      cursors.push_back(
          std::make_unique<Cursor>(found, begin, std::min(begin + size, found.rows.size())));
    }
    return cursors;
  }

  // Tables opened so far, in order.
  const std::vector<std::string>& opened() const { return opened_; }

 private:
  // Rows begin to end of a table.
  class Cursor : public db::RowCursor {
   public:
    Cursor(const MemoryTable& table, size_t begin, size_t end)
        : table_(table), next_(begin), end_(end) {}
    const std::vector<std::string>& Columns() const override { return table_.columns; }
    bool Next(std::vector<db::Value>& row) override {
      if (next_ == table_.damaged_row)
        throw FatalError("riga danneggiata " + std::to_string(next_));
      if (next_ == end_) return false;
      row = table_.rows[next_++];
      return true;
    }

   private:
    const MemoryTable& table_;
    size_t next_;
    size_t end_;
  };

  const MemoryTable& Find(const std::string& database, const std::string& table) {
    opened_.push_back(table);
    auto found = tables_.find(Key(database, table));
    if (found == tables_.end()) {
      throw FatalError("la tabella " + table + " non esiste in " + database);
    }
    return found->second;
  }

  static std::string Key(const std::string& database, const std::string& table) {
    return platform::FoldCase(database) + '\n' + platform::FoldCase(table);
  }

  std::map<std::string, MemoryTable> tables_;
  std::vector<std::string> opened_;
};

}  // namespace catpub::testing
