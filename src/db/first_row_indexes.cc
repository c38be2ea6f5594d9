#include "db/first_row_indexes.h"

#include <cmath>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "db/in_background.h"
#include "db/row_codec.h"
#include "platform/fatal_error.h"
#include "platform/fold_case.h"

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

// Indexes the table open as `parts` by the column named `column`.
IndexedTable Build(std::vector<std::unique_ptr<RowCursor>>& parts, const std::string& database,
                   const std::string& table, const std::string& column_name) {
  IndexedTable index{ColumnNames(parts.front()->Columns()), FirstRowIndex()};
  const std::optional<size_t> column = index.columns.Find(column_name);
  if (!column) {
    throw FatalError("la colonna " + column_name + " non esiste nella tabella " + table + " di " +
                     database);
  }
  auto index_part = [&](RowCursor& cursor, FirstRowIndex& rows, uint64_t expected) {
    std::string buffer;
    std::string_view encoded;
    Value key;
    rows.Reserve(expected);
    while (cursor.NextEncoded(buffer, encoded)) {
      std::optional<size_t> pos = ValuePosition(encoded, *column);
      if (!pos) throw FatalError("riga malformata nella tabella " + table + " di " + database);
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
    throw FatalError("memoria esaurita nell'indice della tabella " + table + " di " + database);
  }
  return index;
}

}  // namespace

const IndexedTable& FirstRowIndexes::For(const std::string& database, const std::string& table,
                                         const std::string& column) {
  if (last_.index && last_.database == database && last_.table == table && last_.column == column) {
    return *last_.index;
  }
  const std::string key = platform::FoldCase(database) + '\n' + platform::FoldCase(table) + '\n' +
                          platform::FoldCase(column);
  auto cached = indexes_.find(key);
  if (cached == indexes_.end()) {
    std::vector<std::unique_ptr<RowCursor>> parts = tables_.OpenTableParts(database, table, kParts);
    cached = indexes_.emplace(key, Build(parts, database, table, column)).first;
  }
  last_ = Last{database, table, column, &cached->second};
  return cached->second;
}

void FirstRowIndexes::Forget() {
  last_ = Last{};
  indexes_.clear();
}

}  // namespace catpub::db
