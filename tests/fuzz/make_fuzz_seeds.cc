// Writes the seed databases of the read-path fuzzer into the folder given: small files from the
// project's writer holding the tables the fuzzer reads, with every column type, Nulls, long Memo
// values, accented names, rows that Access moved to another page, and a page map of a kind Access
// does not write (on which libmdb's own walk of a table with a moved row never ends).
//
//   make_fuzz_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "db/jet_page.h"
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

// Gives the usage map of the first table after the catalog in the file at `path` a kind that Access
// does not write.
void MakeFirstMapUnknown(const std::filesystem::path& path) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  auto u16 = [&bytes](size_t at) {
    return static_cast<size_t>(static_cast<uint8_t>(bytes[at])) |
           static_cast<size_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
  };
  constexpr size_t kPage = db::kJetPageSize;
  for (size_t page = 3; (page + 1) * kPage <= bytes.size(); ++page) {
    const size_t definition = page * kPage;
    if (bytes[definition] != 0x02) continue;
    // The map's row number is at 55 of the definition, its page (three bytes) at 56.
    const size_t map_page = u16(definition + 56) | static_cast<size_t>(bytes[definition + 58])
                                                       << 16;
    const size_t map_row = static_cast<uint8_t>(bytes[definition + 55]);
    const size_t map = map_page * kPage + (u16(map_page * kPage + 14 + 2 * map_row) & 0x1fff);
    file.seekp(static_cast<std::streamoff>(map));
    file.put(7);
    return;
  }
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
  // The table's and the catalog's stored counts one short, as Access leaves them after such edits.
  catpub::mdbwriter::Table prices = catpub::PriceList(40);
  prices.moved_rows = {1};
  prices.stored_rows = 39;
  WriteDatabase(folder / "moved-row-unknown-map.mdb", {prices}, 2);
  catpub::MakeFirstMapUnknown(folder / "moved-row-unknown-map.mdb");
  return 0;
}
