// The page formats of a Jet 4 file that the writer produces: the database definition page, pages
// of rows (table data, long values, usage maps) and usage maps themselves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mdbwriter/page_file.h"

namespace catpub::mdbwriter {

// Page types (first byte of a page).
inline constexpr uint8_t kPageDatabaseDefinition = 0x00;
inline constexpr uint8_t kPageData = 0x01;
inline constexpr uint8_t kPageTableDefinition = 0x02;
inline constexpr uint8_t kPageUsageBitmap = 0x05;

// A row's place: page number in the upper three bytes, row number in the lowest.
using PageRow = uint32_t;
inline PageRow MakePageRow(uint32_t page, uint32_t row) { return (page << 8) | row; }

// Rows within one page: byte 12 counts them, an offset table follows, the rows themselves are
// stacked from the end of the page downwards (row 0 ends at the end of the page).
inline constexpr size_t kRowPageHeader = 14;
// Row numbers are one byte wherever a row is pointed at.
inline constexpr size_t kMaxRowsPerPage = 255;
// The largest row that fits in an empty page.
inline constexpr size_t kMaxRowSize = db::kJetPageSize - kRowPageHeader - 2;
// A row that Access moved to another page keeps its place as a 4-byte pointer (its data's row
// number, then the page number in three bytes) with kMovedRowFlag in its offset; the data, where
// the pointer leads, has kMovedDataFlag (and kMovedRowFlag too when it points on once more).
inline constexpr uint16_t kMovedRowFlag = 0x4000;
inline constexpr uint16_t kMovedDataFlag = 0x8000;
inline constexpr size_t kMovedRowPointer = 4;

class RowPage {
 public:
  // `owner` goes at offset 4: the table definition page for table data, "LVAL" for long values.
  explicit RowPage(uint32_t owner) : owner_(owner) {}

  bool empty() const { return rows_ == 0; }
  size_t rows() const { return rows_; }
  bool Fits(size_t row_size) const;
  // Adds a row (which must fit) and returns its row number. `flags` go into the top bits of its
  // offset (kMovedRowFlag, kMovedDataFlag).
  uint32_t Add(std::string_view row, uint16_t flags = 0);
  // The finished page; the builder is then empty again.
  Page Finish();

 private:
  uint32_t owner_;
  size_t rows_ = 0;
  size_t data_start_ = db::kJetPageSize;  // lowest byte used by rows
  Page page_{};
};

inline constexpr uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL" as it reads in the file

// The pages owned by a table, as a set, and its stored form: a usage map row of 69 bytes. When
// the pages lie within 512 of each other the row holds the bitmap itself (type 0: first page,
// then 64 bytes of bits); otherwise it points at bitmap pages (type 1: up to 17 page numbers, each
// a page of type 0x05 whose bits cover 32,736 pages, the k-th one pages k*32736 onwards).
class UsageMap {
 public:
  static constexpr size_t kRowSize = 69;
  static constexpr size_t kInlineBits = (kRowSize - 5) * 8;
  static constexpr size_t kBitsPerMapPage = (db::kJetPageSize - 4) * 8;
  static constexpr size_t kMapPagesPerRow = (kRowSize - 1) / 4;

  void Add(uint32_t page);
  bool empty() const { return first_ > last_; }

  // The stored row. Writes the bitmap pages it needs into `file` (allocating them there).
  std::string Store(PageFile& file) const;

 private:
  std::vector<uint8_t> bits_;  // by page number
  uint32_t first_ = UINT32_MAX;
  uint32_t last_ = 0;
};

// The database definition page (page 0) of an Access 2000 file created at `created` (days since
// 30/12/1899): no password, no page encryption, code page 1252, General sort order.
Page DatabaseDefinitionPage(double created);

// RC4 as Jet applies it to parts of the database definition page (encryption and decryption are
// the same operation).
void Rc4(const uint8_t* key, size_t key_size, uint8_t* data, size_t size);

void PutU16(uint8_t* at, uint32_t value);
void PutU32(uint8_t* at, uint32_t value);

}  // namespace catpub::mdbwriter
