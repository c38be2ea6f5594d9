#include "db/data_source.h"

#include <cmath>
#include <optional>

#include "db/names.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

// The whole number a stored value equals, when it equals one: the engine compares every numeric
// type by value, and Null or text never equals a number.
std::optional<int64_t> WholeNumberOf(const Value& value) {
  struct Visitor {
    std::optional<int64_t> operator()(std::monostate) const { return std::nullopt; }
    std::optional<int64_t> operator()(bool v) const { return v ? -1 : 0; }
    std::optional<int64_t> operator()(uint8_t v) const { return v; }
    std::optional<int64_t> operator()(int16_t v) const { return v; }
    std::optional<int64_t> operator()(int32_t v) const { return v; }
    std::optional<int64_t> operator()(float v) const { return (*this)(static_cast<double>(v)); }
    std::optional<int64_t> operator()(double v) const {
      if (!(std::fabs(v) < 9.2e18) || std::trunc(v) != v) return std::nullopt;
      return static_cast<int64_t>(v);
    }
    std::optional<int64_t> operator()(Currency v) const {
      if (v.ten_thousandths % 10000 != 0) return std::nullopt;
      return v.ten_thousandths / 10000;
    }
    std::optional<int64_t> operator()(DateTime v) const { return (*this)(v.days); }
    std::optional<int64_t> operator()(const std::string&) const { return std::nullopt; }
  };
  return std::visit(Visitor{}, value);
}

size_t FindColumn(const std::vector<std::string>& columns, std::string_view name) {
  const std::string folded = FoldName(name);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (FoldName(columns[i]) == folded) return i;
  }
  return columns.size();
}

}  // namespace

void DataSource::Refresh() {
  RecordSource source = ParseRecordSource(record_source_);
  table_ = source.table;
  cursor_.reset();
  has_row_ = false;
  if (!source.where_column) {
    cursor_ = tables_.OpenTable(database_, source.table);
    columns_ = cursor_->Columns();
    MoveNext();
    return;
  }
  const Index& index = IndexFor(source);
  columns_ = index.columns;
  auto found = index.first_rows.find(source.where_value);
  if (found != index.first_rows.end()) {
    row_ = found->second;
    has_row_ = true;
  }
}

const DataSource::Index& DataSource::IndexFor(const RecordSource& source) {
  const std::string key =
      FoldName(database_) + '\n' + FoldName(source.table) + '\n' + FoldName(*source.where_column);
  auto cached = indexes_.find(key);
  if (cached != indexes_.end()) return cached->second;

  std::unique_ptr<RowCursor> cursor = tables_.OpenTable(database_, source.table);
  Index index;
  index.columns = cursor->Columns();
  size_t column = FindColumn(index.columns, *source.where_column);
  if (column == index.columns.size()) {
    throw FatalError("column " + *source.where_column + " not found in table " + source.table +
                     " of " + database_);
  }
  std::vector<Value> row;
  while (cursor->Next(row)) {
    if (std::optional<int64_t> number = WholeNumberOf(row[column])) {
      index.first_rows.try_emplace(*number, row);
    }
  }
  return indexes_.emplace(key, std::move(index)).first->second;
}

void DataSource::MoveNext() {
  has_row_ = cursor_ && cursor_->Next(row_);
  if (!has_row_) cursor_.reset();
}

size_t DataSource::ColumnIndex(std::string_view column) const {
  if (!has_row_) {
    throw FatalError("no current row in table " + table_ + " of " + database_ + " (column " +
                     std::string(column) + ")");
  }
  size_t index = FindColumn(columns_, column);
  if (index == columns_.size()) {
    throw FatalError("column " + std::string(column) + " not found in table " + table_ + " of " +
                     database_);
  }
  return index;
}

bool DataSource::IsNull(std::string_view column) const {
  return db::IsNull(row_[ColumnIndex(column)]);
}

const Value& DataSource::Field(std::string_view column) const { return row_[ColumnIndex(column)]; }

}  // namespace catpub::db
