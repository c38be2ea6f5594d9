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

std::vector<std::unique_ptr<RowCursor>> TableSource::OpenTableParts(const std::string& database,
                                                                    const std::string& table,
                                                                    uint32_t) {
  std::vector<std::unique_ptr<RowCursor>> whole;
  whole.push_back(OpenTable(database, table));
  return whole;
}

}  // namespace catpub::db
