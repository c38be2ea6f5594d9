// The record sources the program issues: "select * from T" and "select * from T where C = N", with
// or without one trailing blank. Nothing else is accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace catpub::db {

struct RecordSource {
  std::string table;
  // Set for "where C = N": the column and the whole number it must equal.
  std::optional<std::string> where_column;
  int64_t where_value = 0;
};

// Throws FatalError naming the text when it is not one of the accepted shapes.
RecordSource ParseRecordSource(const std::string& sql);

}  // namespace catpub::db
