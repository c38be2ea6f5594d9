// One table of a Jet 4 file: its definition, its rows packed into data pages as they come, long
// Memo values in long-value pages, and the usage map of its data pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/value.h"
#include "mdbwriter/jet4_pages.h"
#include "mdbwriter/mdb_writer.h"
#include "mdbwriter/page_file.h"

namespace catpub::mdbwriter {

// Column type codes as stored in a table definition.
enum class StoredType : uint8_t {
  kBoolean = 0x01,
  kByte = 0x02,
  kInteger = 0x03,
  kLong = 0x04,
  kCurrency = 0x05,
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,  // catalog only, always Null
  kText = 0x0A,
  kOle = 0x0B,  // catalog only, always Null
  kMemo = 0x0C,
};

struct StoredColumn {
  std::string name;  // UTF-8
  StoredType type;
  int text_length = 255;  // Text and Binary: characters (bytes for Binary)
};

StoredColumn StoredColumnOf(const Column& column);

// Where a table's definition and usage maps go; the first definition page is the table's id.
struct TablePages {
  std::vector<uint32_t> definition;
  uint32_t usage_maps = 0;
};

class TableWriter {
 public:
  // Pages the definition of these columns takes.
  static size_t DefinitionPageCount(const std::vector<StoredColumn>& columns);

  // `system` marks a system table (the catalog). The columns must have been checked (names,
  // lengths, count).
  TableWriter(PageFile& file, std::string name, std::vector<StoredColumn> columns, bool system,
              TablePages pages);
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // Stores one row (one value per column) after the previous ones; a row `moves` times moved
  // keeps its place as a pointer, and its data goes to a later page of the table (Table's
  // moved_rows). Throws std::runtime_error naming the table, row and column when a value does not
  // fit its column or the row does not fit a page.
  void AddRow(const std::vector<db::Value>& row, unsigned moves = 0);

  // Writes what is still open, the usage maps and the definition with the row count: the rows
  // added, or `stored_rows` when given (Table's stored_rows).
  void Finish(std::optional<uint32_t> stored_rows);

 private:
  struct Layout {
    uint16_t fixed_offset = 0;  // within the fixed part of a row
    uint16_t variable_index = 0;
    uint16_t stored_size = 0;
    bool fixed = true;
  };
  class LongValues {
   public:
    explicit LongValues(PageFile& file) : file_(file) {}
    // Stores a Memo value out of its row; returns the 12-byte reference kept in the row.
    std::string Store(std::string_view value);
    void Flush();

   private:
    PageRow Add(std::string_view row);
    PageFile& file_;
    RowPage page_{kLongValueOwner};
    uint32_t page_number_ = 0;
  };

  void EncodeValue(size_t column, const db::Value& value);
  void PlaceMemos();
  void AssembleRow();
  void AddToDataPage(unsigned moves);
  void FlushDataPage();
  PageRow AddMovedData(std::string_view row, uint16_t flags);
  void FlushMovedPage();
  std::string Definition(uint32_t stored_rows) const;

  PageFile& file_;
  std::string name_;
  std::vector<StoredColumn> columns_;
  std::vector<Layout> layout_;
  bool system_;
  TablePages pages_;
  uint16_t fixed_size_ = 0;
  uint16_t variable_count_ = 0;

  uint64_t row_count_ = 0;
  RowPage data_page_;
  uint32_t data_page_number_ = 0;
  UsageMap data_pages_;
  LongValues long_values_;
  // Where the data of moved rows goes: pages of the table, each allocated when the one before is
  // full, so always after the page of the pointers that lead to it.
  RowPage moved_page_;
  uint32_t moved_page_number_ = 0;

  // The row being built: fixed part, variable values by variable index, null mask.
  std::string fixed_;
  std::vector<std::string> variable_;
  std::vector<bool> memo_;  // by variable index: holds an encoded Memo to place
  std::string mask_;
  std::string row_;
};

}  // namespace catpub::mdbwriter
