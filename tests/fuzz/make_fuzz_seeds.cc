// Writes the seed databases of the read-path fuzzer into the folder given: small files from the
// project's writer holding the tables the fuzzer reads, with every column type, Nulls, long Memo
// values, accented names, and rows that Access moved to another page.
//
//   make_fuzz_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "mdbwriter/every_type.h"
#include "mdbwriter/mdb_writer.h"
#include "support/shop.h"

namespace catpub {
namespace {

using mdbwriter::ColumnType;
using mdbwriter::Table;

Table PriceList(int rows) {
  Table table = testing::Listi01({});
  for (int i = 0; i < rows; ++i) {
    table.rows.push_back({int32_t{i % 7}, "vite à testa " + std::to_string(i), std::string("FERR"),
                          std::string("22"), db::Currency{i * 12345}, db::Currency{-i},
                          i % 3 ? db::Value(i / 3.0) : db::Value(), db::Currency{0},
                          i % 2 ? db::Value(std::string("FO-") + std::to_string(i)) : db::Value()});
  }
  return table;
}

Table EveryType(size_t memo_characters) {
  return {"tipi",
          mdbwriter::EveryTypeColumns(),
          {{true, uint8_t{200}, int16_t{-2}, int32_t{1}, db::Currency{5}, 1.5f, 2.5,
            db::DateTime{45000.25}, std::string("Società €"), std::string(memo_characters, 'm')},
           {false, db::Value(), db::Value(), db::Value(), db::Value(), db::Value(), db::Value(),
            db::Value(), db::Value(), std::string("città")}},
          {}};
}

}  // namespace
}  // namespace catpub

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  using catpub::mdbwriter::WriteDatabase;
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  WriteDatabase(folder / "prices.mdb", {catpub::PriceList(12)});
  WriteDatabase(folder / "types.mdb", {catpub::EveryType(20)});
  WriteDatabase(folder / "long-memo.mdb", {catpub::EveryType(9000), catpub::PriceList(2)});
  WriteDatabase(folder / "many-rows.mdb", {catpub::PriceList(300)});
  WriteDatabase(folder / "empty.mdb", {catpub::PriceList(0)});
  // Rows and catalog rows moved to later pages as Access moves edited rows, one of them twice.
  catpub::mdbwriter::Table moved = catpub::PriceList(300);
  moved.moved_rows = {1, 2, 2, 150, 300};
  moved.catalog_row_moved = true;
  catpub::mdbwriter::Table types = catpub::EveryType(20);
  types.moved_rows = {2};
  types.catalog_row_moved = true;
  WriteDatabase(folder / "moved-rows.mdb", {types, moved});
  return 0;
}
