#include "db/lookup_walk.h"

#include <charconv>

#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

std::vector<DataSource::Column> Bind(DataSource& rows, std::span<const std::string_view> columns) {
  std::vector<DataSource::Column> bound;
  bound.reserve(columns.size());
  for (std::string_view column : columns) bound.push_back(rows.Bind(column));
  return bound;
}

}  // namespace

LookupWalk::LookupWalk(const WalkedTable& walked, const LookedUpTable& looked)
    : walked_(walked.rows),
      looked_(looked.rows),
      key_of_(walked.key_of),
      walked_columns_(Bind(walked.rows, walked.columns)),
      looked_columns_(Bind(looked.rows, looked.columns)),
      database_(looked.database),
      query_(looked.query),
      query_size_(looked.query.size()) {
  keys_[1] = KeyAhead(1);
  keys_[2] = KeyAhead(2);
}

// The key two rows ahead has its place in the index fetched now, and the next row's key, whose
// place was asked for one row ago, its row. Nothing is fetched before the first lookup has built
// the index.
void LookupWalk::MoveNext() {
  walked_.MoveNext();
  keys_[0] = keys_[1];
  keys_[1] = keys_[2];
  keys_[2] = KeyAhead(2);
  if (keys_[2].key) looked_.PrefetchWhere(*keys_[2].key, FirstRowIndex::Prefetch::kSlot);
  if (keys_[1].key) looked_.PrefetchWhere(*keys_[1].key, FirstRowIndex::Prefetch::kRow);
}

std::optional<int32_t> LookupWalk::Key() {
  RowKey& current = keys_[0];
  if (!current.known) {
    current.key = key_of_(Row(*this, nullptr));
    current.known = true;
  }
  return current.key;
}

bool LookupWalk::LookUp() {
  const std::optional<int32_t> key = Key();
  if (!key) return false;
  char digits[16];
  const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), *key);
  query_.resize(query_size_);
  query_.append(digits, end.ptr);
  looked_.SetDatabaseName(database_);
  looked_.SetRecordSource(query_);
  looked_.Refresh();
  return !looked_.Eof();
}

// A row that cannot be read ahead, or whose key cannot be computed, is left to its turn: its
// failure is thrown when the walk reaches it.
LookupWalk::RowKey LookupWalk::KeyAhead(size_t distance) {
  const std::vector<Value>* row = walked_.RowAhead(distance);
  if (!row) return RowKey{};
  try {
    return RowKey{true, key_of_(Row(*this, row))};
  } catch (const FatalError&) {
    return RowKey{};
  }
}

}  // namespace catpub::db
