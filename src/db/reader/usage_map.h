// A table's usage map: which pages of the file hold the table's rows. A table scan walks those
// pages in ascending order; this reads the map itself rather than through libmdb, whose walk cannot
// tell a map it does not know from one whose bitmap page is unreadable, and takes a bitmap page at
// the very end of the file for an empty one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "db/reader/jet_format.h"

namespace catpub::db::reader::jet {

// Bitmap pages of a reference map carry this type byte, and their bits from byte 4 on.
inline constexpr uint8_t kUsageBitmapPage = 0x05;

// The pages that usage map `map` (the map's row, type byte first) names, in ascending order, each
// once. Access writes two kinds: an inline map (type 0: the first page's number, then a bitmap of
// the pages from it) and a reference map (type 1: the numbers of bitmap pages, the k-th of which
// stands for the (kJetPageSize - 4) * 8 pages from k times that many on). nullopt for any other
// type. The file has `file_pages` pages; bitmap pages come from `read_page`. Throws FatalError
// naming the page when the map names a page at or past the end of the file, or a bitmap page that
// cannot be read or is no bitmap page.
std::optional<std::vector<uint32_t>> UsageMapPages(std::string_view map, uint64_t file_pages,
                                                   const PageReader& read_page);

}  // namespace catpub::db::reader::jet
