#include "db/lookups_ahead.h"

#include <utility>
#include <vector>

namespace catpub::db {

LookupsAhead::LookupsAhead(DataSource& walk, std::string_view key_column, KeyOf key_of,
                           const DataSource& lookups)
    : walk_(walk), key_column_(walk.Bind(key_column)), key_of_(key_of), lookups_(lookups) {}

// A key's entry is asked for two rows early and its row one row early, once the entry has
// arrived: the key read two rows ahead is the next row's key once the walk has moved on. Nothing
// is fetched before the first query has built its index.
void LookupsAhead::Prepare() {
  const std::optional<int64_t> next = std::exchange(key_after_next_, KeyAhead(2));
  const IndexedTable* index = lookups_.indexes_.last();
  if (!index) return;
  if (key_after_next_)
    index->first_rows.PrefetchFor(*key_after_next_, FirstRowIndex::Prefetch::kSlot);
  if (next) index->first_rows.PrefetchFor(*next, FirstRowIndex::Prefetch::kRow);
}

std::optional<int64_t> LookupsAhead::KeyAhead(size_t distance) {
  const std::vector<Value>* row = walk_.RowAhead(distance);
  if (!row) return std::nullopt;
  const size_t position = walk_.positions_[key_column_.bound];
  if (position == DataSource::kMissing) return std::nullopt;
  return key_of_((*row)[position]);
}

}  // namespace catpub::db
