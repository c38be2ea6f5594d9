#include "db/table_source.h"

#include "db/row_codec.h"

namespace catpub::db {

bool RowCursor::NextEncoded(std::string& buffer, std::string_view& encoded) {
  std::vector<Value> row;
  if (!Next(row)) return false;
  buffer.clear();
  AppendRow(buffer, row);
  encoded = buffer;
  return true;
}

}  // namespace catpub::db
