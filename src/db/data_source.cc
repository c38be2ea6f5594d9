#include "db/data_source.h"

#include <cmath>
#include <future>
#include <new>
#include <optional>

#include "db/in_background.h"
#include "db/names.h"
#include "db/row_codec.h"
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

// The column named `name` (compared as db/names.h says), or names.size() when there is none.
// Callers mostly spell names as stored and read a row's columns in the same order every time, so
// an exact match is tried first, starting at `hint`.
size_t FindColumn(const std::vector<std::string>& names, const std::vector<std::string>& folded,
                  std::string_view name, size_t hint = 0) {
  const size_t count = names.size();
  for (size_t i = 0, at = hint; i < count; ++i, at = at + 1 == count ? 0 : at + 1) {
    if (SameSpelling(names[at], name)) return at;
  }
  for (size_t i = 0; i < count; ++i) {
    if (MatchesFolded(name, folded[i])) return i;
  }
  return count;
}

// Where value `column` of an encoded row starts; nullopt when the row is malformed.
std::optional<size_t> ValuePosition(std::string_view row, size_t column) {
  size_t pos = 0;
  for (size_t i = 0; i <= column; ++i) {
    std::optional<size_t> size = EncodedValueSize(row, pos);
    if (!size) return std::nullopt;
    if (i == column) return pos;
    pos += *size;
  }
  return std::nullopt;
}

}  // namespace

DataSource::ColumnNames::ColumnNames(const std::vector<std::string>& stored) : names(stored) {
  for (const std::string& name : stored) folded.push_back(FoldName(name));
}

void DataSource::Refresh() {
  RowChanged();
  RecordSource source = ParseRecordSource(record_source_);
  table_ = source.table;
  cursor_.reset();
  has_row_ = false;
  columns_ = nullptr;
  ahead_count_ = 0;
  ahead_failure_.reset();
  if (!source.where_column) {
    cursor_ = tables_.OpenTable(database_, source.table);
    walk_columns_ = std::make_unique<ColumnNames>(cursor_->Columns());
    columns_ = walk_columns_.get();
    MoveNext();
    return;
  }
  const Index& index = IndexFor(source);
  columns_ = &index.columns;
  if (std::optional<std::string_view> row = index.first_rows.Find(source.where_value)) {
    row_.resize(index.columns.names.size());
    DecodeRow(*row, 0, row_);
    has_row_ = true;
  }
}

void DataSource::ForgetRows() {
  RowChanged();
  cursor_.reset();
  walk_columns_.reset();
  columns_ = nullptr;
  has_row_ = false;
  ahead_count_ = 0;
  ahead_failure_.reset();
  last_index_ = LastIndex{};
  indexes_.clear();
}

const DataSource::Index& DataSource::IndexFor(const RecordSource& source) {
  if (last_index_.index && last_index_.database == database_ && last_index_.table == source.table &&
      last_index_.column == *source.where_column) {
    return *last_index_.index;
  }
  const std::string key =
      FoldName(database_) + '\n' + FoldName(source.table) + '\n' + FoldName(*source.where_column);
  auto cached = indexes_.find(key);
  if (cached == indexes_.end()) {
    std::vector<std::unique_ptr<RowCursor>> parts =
        tables_.OpenTableParts(database_, source.table, kIndexParts);
    cached = indexes_.emplace(key, BuildIndex(parts, source, database_)).first;
  }
  last_index_ = LastIndex{database_, source.table, *source.where_column, &cached->second};
  return cached->second;
}

DataSource::Index DataSource::BuildIndex(std::vector<std::unique_ptr<RowCursor>>& parts,
                                         const RecordSource& source, const std::string& database) {
  Index index{ColumnNames(parts.front()->Columns()), FirstRowIndex()};
  const size_t column = FindColumn(index.columns.names, index.columns.folded, *source.where_column);
  if (column == index.columns.names.size()) {
    throw FatalError("la colonna " + *source.where_column + " non esiste nella tabella " +
                     source.table + " di " + database);
  }
  auto index_part = [&](RowCursor& cursor, FirstRowIndex& rows, uint64_t expected) {
    std::string buffer;
    std::string_view encoded;
    Value key;
    rows.Reserve(expected);
    while (cursor.NextEncoded(buffer, encoded)) {
      std::optional<size_t> pos = ValuePosition(encoded, column);
      if (!pos)
        throw FatalError("riga malformata nella tabella " + source.table + " di " + database);
      DecodeValue(encoded, *pos, key);
      if (std::optional<int64_t> number = WholeNumberOf(key)) rows.Insert(*number, encoded);
    }
    rows.Finish();
  };
  // The later parts are indexed on threads of their own while this one takes the first; each is
  // then added after the parts before it, so that the first row of each key still wins. A failure
  // of an earlier part is the one reported.
  try {
    const uint64_t stored = parts.front()->RowsStored();
    std::vector<FirstRowIndex> later(parts.size() - 1);
    std::vector<std::future<void>> indexing;
    for (size_t part = 1; part < parts.size(); ++part) {
      indexing.push_back(InBackground(
          [&, part] { index_part(*parts[part], later[part - 1], stored / parts.size()); }));
    }
    index_part(*parts.front(), index.first_rows, stored);
    for (std::future<void>& part : indexing) part.get();
    for (FirstRowIndex& part : later) index.first_rows.Absorb(std::move(part));
  } catch (const std::bad_alloc&) {
    // A price list larger than the memory the run may take is a failure of this run, named here.
    throw FatalError("memoria esaurita nell'indice della tabella " + source.table + " di " +
                     database);
  }
  return index;
}

void DataSource::MoveNext() {
  RowChanged();
  if (ahead_count_ > 0) {
    row_.swap(ahead_[ahead_first_]);
    ahead_first_ = (ahead_first_ + 1) % kMostAhead;
    --ahead_count_;
    return;
  }
  if (ahead_failure_) throw *ahead_failure_;
  has_row_ = cursor_ && cursor_->Next(row_);
  if (!has_row_) cursor_.reset();
}

const Value* DataSource::Ahead(size_t distance, std::string_view column) {
  if (!has_row_ || distance == 0 || distance > kMostAhead) return nullptr;
  while (ahead_count_ < distance) {
    if (!cursor_ || ahead_failure_) return nullptr;
    std::vector<Value>& row = ahead_[(ahead_first_ + ahead_count_) % kMostAhead];
    try {
      if (!cursor_->Next(row)) {
        cursor_.reset();
        return nullptr;
      }
    } catch (const FatalError& failure) {
      ahead_failure_ = failure;
      return nullptr;
    }
    ++ahead_count_;
  }
  const size_t index = FindColumn(columns_->names, columns_->folded, column);
  if (index == columns_->names.size()) return nullptr;
  return &ahead_[(ahead_first_ + distance - 1) % kMostAhead][index];
}

size_t DataSource::ColumnIndex(std::string_view column) const {
  if (!has_row_) {
    throw FatalError("nessuna riga corrente nella tabella " + table_ + " di " + database_ +
                     " (colonna " + std::string(column) + ")");
  }
  const std::vector<std::string>& names = columns_->names;
  const size_t lookup = lookups_since_row_++;
  if (lookup < kRememberedLookups) {
    const size_t remembered = remembered_columns_[lookup];
    if (remembered < names.size() && SameSpelling(names[remembered], column)) {
      next_column_ = remembered + 1;
      return remembered;
    }
  }
  size_t index =
      FindColumn(names, columns_->folded, column, next_column_ < names.size() ? next_column_ : 0);
  next_column_ = index + 1;
  if (lookup < kRememberedLookups) remembered_columns_[lookup] = index;
  if (index == names.size()) {
    throw FatalError("la colonna " + std::string(column) + " non esiste nella tabella " + table_ +
                     " di " + database_);
  }
  return index;
}

bool DataSource::IsNull(std::string_view column) const {
  return db::IsNull(row_[ColumnIndex(column)]);
}

const Value& DataSource::Field(std::string_view column) const { return row_[ColumnIndex(column)]; }

}  // namespace catpub::db
