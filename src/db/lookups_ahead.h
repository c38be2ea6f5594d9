// A walk over one data source that queries another, "where C = key", once for each row, the key
// read from the walked row (the article code of each barcode, looked up in the price list). The
// rows of a large index lie anywhere in memory: told of each row before its query, this reads the
// keys of the next rows early and has their index entries and rows fetched meanwhile, so that they
// have arrived by the time the queries ask for them. Only a hint: no row or result changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "db/data_source.h"
#include "db/value.h"

namespace catpub::db {

class LookupsAhead {
 public:
  // The key a query will ask for, given the walked column's value; nothing when none will be.
  using KeyOf = std::optional<int64_t> (*)(const Value&);

  // `walk` is walking a whole table whose column `key_column` gives the keys, through `key_of`,
  // of the queries on `lookups`; both must outlive this.
  LookupsAhead(DataSource& walk, std::string_view key_column, KeyOf key_of,
               const DataSource& lookups);
  LookupsAhead(const LookupsAhead&) = delete;
  LookupsAhead& operator=(const LookupsAhead&) = delete;

  // Call on each row of the walk, before its query.
  void Prepare();

 private:
  std::optional<int64_t> KeyAhead(size_t distance);

  DataSource& walk_;
  DataSource::Column key_column_;
  KeyOf key_of_;
  const DataSource& lookups_;
  std::optional<int64_t> key_after_next_;  // as the last Prepare read it
};

}  // namespace catpub::db
