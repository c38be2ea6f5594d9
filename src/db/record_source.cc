#include "db/record_source.h"

#include <charconv>
#include <string_view>

#include "db/names.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

bool Consume(std::string_view& text, std::string_view prefix) {
  if (text.size() < prefix.size() || !SameSpelling(text.substr(0, prefix.size()), prefix)) {
    return false;
  }
  text.remove_prefix(prefix.size());
  return true;
}

// A name runs up to the next blank; it may hold any other character (società).
std::string_view TakeName(std::string_view& text) {
  size_t end = text.find(' ');
  std::string_view name = text.substr(0, end);
  text.remove_prefix(name.size());
  return name;
}

}  // namespace

RecordSource ParseRecordSource(const std::string& sql) {
  auto reject = [&sql]() { return FatalError("origine dei dati non gestita \"" + sql + "\""); };
  std::string_view text = sql;
  if (!Consume(text, "select * from ")) throw reject();
  RecordSource source;
  source.table = TakeName(text);
  if (source.table.empty()) throw reject();
  if (Consume(text, " where ")) {
    std::string_view column = TakeName(text);
    if (column.empty() || !Consume(text, " = ")) throw reject();
    const char* end = text.data() + text.size();
    auto [next, error] = std::from_chars(text.data(), end, source.where_value);
    if (error != std::errc() || next == text.data()) throw reject();
    text.remove_prefix(static_cast<size_t>(next - text.data()));
    source.where_column = std::string(column);
  }
  if (!(text.empty() || text == " ")) throw reject();
  return source;
}

}  // namespace catpub::db
