// Test-only: reads a table back through libmdb in this process, decoding every value exactly from
// the stored bytes, to check what the writer wrote. Not for damaged files (libmdb may crash on
// them); the program itself reads databases through its reader process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "db/value.h"

namespace catpub::mdbwriter {

struct LibmdbColumn {
  std::string name;
  int type = 0;  // stored type code (libmdb's MDB_BOOL ... MDB_MEMO)
  int size = 0;  // stored size in bytes (0 for Yes/No and Memo, twice the length for Text)
};

struct LibmdbTable {
  uint32_t stored_row_count = 0;  // as the table definition records it
  std::vector<LibmdbColumn> columns;
  std::vector<std::vector<db::Value>> rows;
};

// The user tables in catalog order. Throws std::runtime_error when libmdb cannot open the file.
std::vector<std::string> LibmdbUserTables(const std::filesystem::path& file);

// All rows of `table` in stored order. Throws std::runtime_error when the file or table cannot be
// read, or a value lies outside its page or has an unexpected size.
LibmdbTable ReadWithLibmdb(const std::filesystem::path& file, const std::string& table);

}  // namespace catpub::mdbwriter
