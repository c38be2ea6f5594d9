#include "db/reader/usage_map.h"

#include <string>

#include "platform/fatal_error.h"

namespace catpub::db::reader::jet {
namespace {

constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;
constexpr size_t kInlineBitmapStart = 5;
constexpr size_t kBitmapPageStart = 4;
constexpr uint64_t kPagesPerBitmapPage = (kJetPageSize - kBitmapPageStart) * 8;

uint32_t U32(std::string_view bytes, size_t pos) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos])) |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos + 3])) << 24;
}

FatalError PastTheEnd(uint64_t page) {
  return FatalError("la mappa delle pagine nomina la pagina " + std::to_string(page) +
                    ", oltre la fine del file");
}

// Appends to `pages` the page `first` + i for each bit i set in `bitmap`.
void AddBitmap(std::string_view bitmap, uint64_t first, uint64_t file_pages,
               std::vector<uint32_t>& pages) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    const auto bits = static_cast<uint8_t>(bitmap[byte]);
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((bits >> bit & 1) == 0) continue;
      const uint64_t page = first + 8 * byte + bit;
      if (page >= file_pages) throw PastTheEnd(page);
      pages.push_back(static_cast<uint32_t>(page));
    }
  }
}

}  // namespace

std::optional<std::vector<uint32_t>> UsageMapPages(std::string_view map, uint64_t file_pages,
                                                   const PageReader& read_page) {
  std::vector<uint32_t> pages;
  if (map.empty()) return pages;
  const auto type = static_cast<uint8_t>(map[0]);
  if (type == kInlineMap) {
    if (map.size() < kInlineBitmapStart) return pages;
    AddBitmap(map.substr(kInlineBitmapStart), U32(map, 1), file_pages, pages);
    return pages;
  }
  if (type != kReferenceMap) return std::nullopt;
  for (size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
    const uint32_t bitmap_page = U32(map, 1 + 4 * k);
    if (bitmap_page == 0) continue;
    if (bitmap_page >= file_pages) throw PastTheEnd(bitmap_page);
    std::optional<std::string_view> bitmap = read_page(bitmap_page);
    if (!bitmap || bitmap->size() != kJetPageSize) {
      throw FatalError("la pagina " + std::to_string(bitmap_page) +
                       " della mappa delle pagine non si legge");
    }
    if (static_cast<uint8_t>((*bitmap)[0]) != kUsageBitmapPage) {
      throw FatalError("la mappa delle pagine nomina la pagina " + std::to_string(bitmap_page) +
                       ", che non è una pagina di mappa");
    }
    AddBitmap(bitmap->substr(kBitmapPageStart), k * kPagesPerBitmapPage, file_pages, pages);
  }
  return pages;
}

}  // namespace catpub::db::reader::jet
