// Stored forms of Access 2000 (Jet 4) data that the reader decodes itself rather than through
// libmdb's printing: text, long values (Memo), Decimal and Replication ID values, the rows of a
// data page and the pointers of moved rows. Every function checks sizes and offsets before reading,
// except RowFlags, whose caller has checked the page's row count; nothing needs libmdb. The page
// size is db/jet_page.h's, which the program's side shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/jet_page.h"

namespace catpub::db::reader::jet {

inline constexpr uint8_t kDataPage = 0x01;
// A data page: its row count at 12, then each row's offset, whose top bits are flags.
inline constexpr size_t kRowCountOffset = 12;
inline constexpr size_t kRowOffsetsStart = 14;
inline constexpr uint16_t kOffsetMask = 0x1fff;
// The flags of a row's offset. A moved row (kMovedRow) keeps only a pointer in its place: its
// data's row number, then the page number in three bytes. Its data, where the pointer leads, is
// marked kMovedData, and also kMovedRow when it is a pointer again. Both flags alone in a row's
// offset mark a deleted row; a table scan reads a moved row in its place and skips the others.
inline constexpr unsigned kMovedRow = 0x4000;
inline constexpr unsigned kMovedData = 0x8000;
inline constexpr unsigned kRowFlags = kMovedRow | kMovedData;
// Access moves a row again when it grows again; a longer chain than this is damage.
inline constexpr size_t kMostMoves = 8;
// The header of a long-value field: length and flags, page and row, and four unused bytes.
inline constexpr size_t kLongValueHeader = 12;

// Appends the UTF-8 form of Jet 4 stored text to `out`. Text is stored as UTF-16LE, or
// "compressed" (marked by FF FE): runs of one-byte characters (code points below 256) alternating,
// at each 00 byte, with runs of UTF-16LE. A lone surrogate reads as U+FFFD; a trailing odd byte is
// ignored.
void AppendTextAsUtf8(std::string_view stored, std::string& out);

// The flags of row `row` of a data page whose offset table holds that row.
inline unsigned RowFlags(const unsigned char* page, unsigned row) {
  return page[kRowOffsetsStart + 2 * row + 1] << 8 & kRowFlags;
}

struct RowPlace {
  uint32_t page = 0;
  uint32_t row = 0;
};

// Where the pointer of moved row `row` of data page `page` leads; nullopt when the row does not
// fit the page or is shorter than a pointer.
std::optional<RowPlace> MovedRowPlace(std::string_view page, uint32_t row);

// The bytes of row `row` of data page `page` (kJetPageSize bytes); nullopt when the page is not a
// data page, has no such row, or the row's offsets do not fit the page. Flags in the offsets are
// ignored.
std::optional<std::string_view> PageRow(std::string_view page, uint32_t row);

// The stored bytes of the long value whose field (its kLongValueHeader bytes, plus the data of an
// inline value) is `field`. Pages of other rows come from `read_page`, which gives a page's
// kJetPageSize bytes or nullopt when it cannot be read; the view need only live until the next
// call.
// Long values are at most 16 MiB - 1 bytes stored (a 24-bit length). Throws FatalError when a page
// cannot be read, the chain is broken or loops, or the length disagrees with the header.
using PageReader = std::function<std::optional<std::string_view>(uint32_t page)>;
std::string ReadLongValue(std::string_view field, const PageReader& read_page);

// A Decimal column's 17 stored bytes (a sign byte, then a 128-bit magnitude as four little-endian
// 32-bit words, most significant first) times 10^-scale, to the nearest double.
double DecimalToDouble(std::string_view stored, int scale);

// A Replication ID's 16 stored bytes as Access writes them: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::string GuidText(std::string_view stored);

}  // namespace catpub::db::reader::jet
