#include "db/data_source.h"

#include "db/names.h"
#include "db/record_source.h"
#include "db/row_codec.h"
#include "platform/fatal_error.h"

namespace catpub::db {

void DataSource::Refresh() {
  RecordSource source = ParseRecordSource(record_source_);
  table_ = source.table;
  walk_.reset();
  has_row_ = false;
  columns_ = nullptr;
  if (!source.where_column) {
    std::unique_ptr<RowCursor> cursor = tables_.OpenTable(database_, source.table);
    walk_columns_ = std::make_unique<ColumnNames>(cursor->Columns());
    walk_ = std::make_unique<ReadAhead>(std::move(cursor));
    columns_ = walk_columns_.get();
    PlaceBoundColumns();
    MoveNext();
    return;
  }
  const IndexedTable& index = indexes_.For(database_, source.table, *source.where_column);
  columns_ = &index.columns;
  PlaceBoundColumns();
  if (std::optional<std::string_view> row = index.first_rows.Find(source.where_value)) {
    row_.resize(index.columns.size());
    DecodeRow(*row, 0, row_);
    has_row_ = true;
  }
}

void DataSource::MoveNext() { has_row_ = walk_ && walk_->Next(row_); }

void DataSource::ForgetRows() {
  walk_.reset();
  walk_columns_.reset();
  columns_ = nullptr;
  has_row_ = false;
  indexes_.Forget();
  PlaceBoundColumns();
}

DataSource::Column DataSource::Bind(std::string_view name) {
  for (size_t bound = 0; bound < bound_names_.size(); ++bound) {
    if (SameSpelling(bound_names_[bound], name)) return Column{bound};
  }
  bound_names_.emplace_back(name);
  positions_.push_back(kMissing);
  placed_for_ = nullptr;
  PlaceBoundColumns();
  return Column{bound_names_.size() - 1};
}

// A price list is refreshed once per article, always from the same index: its columns are then
// the ones the bound names were placed in already.
void DataSource::PlaceBoundColumns() {
  if (columns_ == placed_for_) return;
  placed_for_ = columns_;
  for (size_t bound = 0; bound < bound_names_.size(); ++bound) {
    const std::optional<size_t> position =
        columns_ ? columns_->Find(bound_names_[bound]) : std::nullopt;
    positions_[bound] = position.value_or(kMissing);
  }
}

const Value& DataSource::Field(std::string_view column) const {
  if (!has_row_) FailField(column);
  const std::optional<size_t> position = columns_->Find(column);
  if (!position) FailField(column);
  return row_[*position];
}

void DataSource::FailField(std::string_view column) const {
  if (!has_row_) {
    throw FatalError("nessuna riga corrente nella tabella " + table_ + " di " + database_ +
                     " (colonna " + std::string(column) + ")");
  }
  throw FatalError("la colonna " + std::string(column) + " non esiste nella tabella " + table_ +
                   " di " + database_);
}

const std::vector<Value>* DataSource::RowAhead(size_t distance) {
  if (!has_row_ || !walk_) return nullptr;
  return walk_->Ahead(distance);
}

void DataSource::PrefetchWhere(int64_t value, FirstRowIndex::Prefetch what) const {
  if (const IndexedTable* index = indexes_.last()) index->first_rows.PrefetchFor(value, what);
}

}  // namespace catpub::db
