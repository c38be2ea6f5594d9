#include "mdbwriter/mdb_writer.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "mdbwriter/jet4_pages.h"
#include "mdbwriter/jet4_text.h"
#include "mdbwriter/page_file.h"
#include "mdbwriter/table_writer.h"

namespace catpub::mdbwriter {
namespace {

// Every file claims the same creation time (01/01/2000 00:00), so equal tables give equal bytes.
constexpr double kCreated = 36526.0;
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;

// The catalog, MSysObjects, always has its definition on page 2. Its rows here: the "Tables"
// container, MSysObjects itself and one per table.
constexpr uint32_t kCatalogPage = 2;
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kRootContainerId = 0x0F000000;
constexpr int16_t kObjectTable = 1;
constexpr int16_t kObjectContainer = 3;
constexpr int32_t kSystemObjectFlags = std::numeric_limits<int32_t>::min();  // 0x80000000

std::vector<StoredColumn> CatalogColumns() {
  return {{"Id", StoredType::kLong},
          {"ParentId", StoredType::kLong},
          {"Name", StoredType::kText, 255},
          {"Type", StoredType::kInteger},
          {"DateCreate", StoredType::kDateTime},
          {"DateUpdate", StoredType::kDateTime},
          {"Owner", StoredType::kBinary, 255},
          {"Flags", StoredType::kLong},
          {"Database", StoredType::kMemo},
          {"Connect", StoredType::kMemo},
          {"ForeignName", StoredType::kText, 255},
          {"RmtInfoShort", StoredType::kBinary, 255},
          {"RmtInfoLong", StoredType::kOle},
          {"Lv", StoredType::kOle},
          {"LvProp", StoredType::kOle},
          {"LvModule", StoredType::kOle},
          {"LvExtra", StoredType::kOle}};
}

std::vector<db::Value> CatalogRow(int32_t id, int32_t parent, const std::string& name, int16_t type,
                                  int32_t flags) {
  std::vector<db::Value> row(CatalogColumns().size());
  row[0] = id;
  row[1] = parent;
  row[2] = name;
  row[3] = type;
  row[4] = db::DateTime{kCreated};
  row[5] = db::DateTime{kCreated};
  row[7] = flags;
  return row;
}

// Names compare as Access compares them for ASCII letters: without case.
std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

void CheckName(const std::string& name, const std::string& what) {
  std::u16string units;
  try {
    units = Utf8ToUcs2(name);
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(what + ": " + error.what());
  }
  if (units.empty()) throw std::runtime_error(what + " has an empty name");
  if (units.size() > kMaxNameLength) {
    throw std::runtime_error(what + ": a name has at most " + std::to_string(kMaxNameLength) +
                             " characters");
  }
}

void CheckTable(const Table& table) {
  const std::string what = "table \"" + table.name + "\"";
  CheckName(table.name, what);
  if (table.columns.empty() || table.columns.size() > kMaxColumns) {
    throw std::runtime_error(what + " must have 1 to " + std::to_string(kMaxColumns) + " columns");
  }
  std::vector<std::string> seen;
  for (const Column& column : table.columns) {
    const std::string where = what + ", column \"" + column.name + "\"";
    CheckName(column.name, where);
    const auto type = static_cast<int>(column.type);
    if (type < static_cast<int>(ColumnType::kBoolean) ||
        type > static_cast<int>(ColumnType::kMemo)) {
      throw std::runtime_error(where + " has an unknown type");
    }
    if (column.type == ColumnType::kText && (column.text_length < 1 || column.text_length > 255)) {
      throw std::runtime_error(where + ": a Text column holds 1 to 255 characters, not " +
                               std::to_string(column.text_length));
    }
    for (const auto& other : seen) {
      if (other == Folded(column.name)) throw std::runtime_error(where + " appears twice");
    }
    seen.push_back(Folded(column.name));
  }
}

void CheckTables(const std::vector<Table>& tables) {
  std::vector<std::string> seen = {Folded("MSysObjects")};
  for (const Table& table : tables) {
    CheckTable(table);
    for (const auto& other : seen) {
      if (other == Folded(table.name)) {
        throw std::runtime_error("table \"" + table.name + "\": the name is already taken");
      }
    }
    seen.push_back(Folded(table.name));
  }
}

std::vector<StoredColumn> StoredColumnsOf(const Table& table) {
  std::vector<StoredColumn> stored_columns;
  for (const Column& column : table.columns) stored_columns.push_back(StoredColumnOf(column));
  return stored_columns;
}

TablePages AllocateTable(PageFile& file, const std::vector<StoredColumn>& columns) {
  TablePages pages;
  const size_t count = TableWriter::DefinitionPageCount(columns);
  for (size_t i = 0; i < count; ++i) pages.definition.push_back(file.Allocate());
  pages.usage_maps = file.Allocate();
  return pages;
}

void WriteRows(TableWriter& writer, const Table& table) {
  std::vector<uint64_t> moved = table.moved_rows;
  std::sort(moved.begin(), moved.end());
  auto next_moved = moved.begin();
  uint64_t number = 0;
  // How often the next row was moved.
  auto moves = [&]() {
    ++number;
    unsigned count = 0;
    for (; next_moved != moved.end() && *next_moved == number; ++next_moved) ++count;
    return count;
  };
  if (!table.generate) {
    for (const auto& row : table.rows) writer.AddRow(row, moves());
  } else {
    auto generate = table.generate;  // a copy: the table can be written again
    std::vector<db::Value> row;
    while (generate(row)) writer.AddRow(row, moves());
  }
  if (next_moved != moved.end()) {
    throw std::runtime_error("table \"" + table.name + "\" has no row " +
                             std::to_string(*next_moved) + " to move");
  }
}

void WriteAll(PageFile& file, const std::vector<Table>& tables,
              std::optional<uint32_t> catalog_stored_rows) {
  file.Allocate();  // page 0, the database definition
  const uint32_t catalog_maps = file.Allocate();
  const std::vector<StoredColumn> catalog_columns = CatalogColumns();
  TablePages catalog_pages;
  for (size_t i = 0; i < TableWriter::DefinitionPageCount(catalog_columns); ++i) {
    catalog_pages.definition.push_back(file.Allocate());
  }
  catalog_pages.usage_maps = catalog_maps;
  if (catalog_pages.definition.front() != kCatalogPage) {
    throw std::logic_error("the catalog definition is not on page 2");
  }

  std::vector<std::vector<StoredColumn>> stored_columns;
  std::vector<TablePages> pages;
  for (const Table& table : tables) {
    stored_columns.push_back(StoredColumnsOf(table));
    pages.push_back(AllocateTable(file, stored_columns.back()));
  }

  file.Write(0, DatabaseDefinitionPage(kCreated));

  TableWriter catalog(file, "MSysObjects", catalog_columns, true, catalog_pages);
  catalog.AddRow(CatalogRow(kTablesContainerId, kRootContainerId, "Tables", kObjectContainer,
                            kSystemObjectFlags));
  catalog.AddRow(CatalogRow(kCatalogPage, kTablesContainerId, "MSysObjects", kObjectTable,
                            kSystemObjectFlags));
  for (size_t i = 0; i < tables.size(); ++i) {
    catalog.AddRow(CatalogRow(static_cast<int32_t>(pages[i].definition.front()), kTablesContainerId,
                              tables[i].name, kObjectTable, 0),
                   tables[i].catalog_row_moved ? 1 : 0);
  }
  catalog.Finish(catalog_stored_rows);

  for (size_t i = 0; i < tables.size(); ++i) {
    TableWriter writer(file, tables[i].name, stored_columns[i], false, pages[i]);
    WriteRows(writer, tables[i]);
    writer.Finish(tables[i].stored_rows);
  }
}

}  // namespace

const char* ColumnTypeName(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean:
      return "Yes/No";
    case ColumnType::kByte:
      return "Byte";
    case ColumnType::kInteger:
      return "Integer";
    case ColumnType::kLong:
      return "Long";
    case ColumnType::kCurrency:
      return "Currency";
    case ColumnType::kSingle:
      return "Single";
    case ColumnType::kDouble:
      return "Double";
    case ColumnType::kDateTime:
      return "Date/Time";
    case ColumnType::kText:
      return "Text";
    case ColumnType::kMemo:
      return "Memo";
  }
  return "?";
}

void WriteDatabase(const std::filesystem::path& file, const std::vector<Table>& tables,
                   std::optional<uint32_t> catalog_stored_rows) {
  CheckTables(tables);
  PageFile pages(file);  // a half-written file is removed when this goes out of scope
  WriteAll(pages, tables, catalog_stored_rows);
  pages.Commit();
}

}  // namespace catpub::mdbwriter
