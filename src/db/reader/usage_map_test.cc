#include "db/reader/usage_map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/fatal_error.h"

namespace catpub::db::reader::jet {
namespace {

using Pages = std::vector<uint32_t>;
constexpr uint32_t kPagesPerBitmap = (kJetPageSize - 4) * 8;

std::string Bytes(std::initializer_list<uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string U32(uint32_t value) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

// A map of kind `kind` (its first byte) followed by `words`, 32 bits each.
std::string Map(uint8_t kind, std::initializer_list<uint32_t> words) {
  std::string map = Bytes({kind});
  for (uint32_t word : words) map += U32(word);
  return map;
}

class UsageMapTest : public ::testing::Test {
 protected:
  std::optional<Pages> Read(const std::string& map, uint64_t file_pages = 100000) {
    return UsageMapPages(map, file_pages, [this](uint32_t page) -> std::optional<std::string_view> {
      auto found = pages_.find(page);
      if (found == pages_.end()) return std::nullopt;
      return found->second;
    });
  }
  // A bitmap page with the bits of `pages` (counted from the page's first) set.
  static std::string Bitmap(const Pages& pages) {
    std::string page(kJetPageSize, '\0');
    page[0] = static_cast<char>(kUsageBitmapPage);
    page[1] = 1;
    for (uint32_t p : pages) page[4 + p / 8] = static_cast<char>(page[4 + p / 8] | 1 << (p % 8));
    return page;
  }
  // The message of the FatalError that reading `map` throws.
  std::string Failure(const std::string& map, uint64_t file_pages = 100000) {
    try {
      Read(map, file_pages);
    } catch (const FatalError& e) {
      return e.what();
    }
    return "no FatalError";
  }
  std::map<uint32_t, std::string> pages_;
};

TEST_F(UsageMapTest, InlineAndReferenceMapsNamePagesInAscendingOrder) {
  // Inline: pages 40, 41, 48 and 71 from a bitmap starting at page 40.
  EXPECT_EQ(Read(Bytes({0}) + U32(40) + Bytes({0x03, 0x01, 0x00, 0x80})), (Pages{40, 41, 48, 71}));
  EXPECT_EQ(Read(""), Pages{});
  EXPECT_EQ(Read(std::string(3, '\0')), Pages{});
  // Reference: bitmap page k stands for the pages from k * kPagesPerBitmap; absent ones (0) are
  // passed over.
  pages_[7] = Bitmap({5, 9});
  pages_[8] = Bitmap({0, 3});
  EXPECT_EQ(Read(Map(0x01, {7, 0, 8}), 3 * kPagesPerBitmap),
            (Pages{5, 9, 2 * kPagesPerBitmap, 2 * kPagesPerBitmap + 3}));
}

TEST_F(UsageMapTest, AMapOfAnotherKindIsNoList) {
  EXPECT_EQ(Read(Map(0x02, {7})), std::nullopt);
  EXPECT_EQ(Read("\xff"), std::nullopt);
}

TEST_F(UsageMapTest, PagesPastTheFileOrBrokenBitmapPagesAreDamageNamingThePage) {
  EXPECT_EQ(Failure(Bytes({0}) + U32(40) + Bytes({0x00, 0x02}), 49),
            "la mappa delle pagine nomina la pagina 49, oltre la fine del file");
  // A start page near the top of the page numbers does not wrap round to small ones.
  EXPECT_EQ(Failure(Bytes({0}) + U32(0xFFFFFFFF) + Bytes({0x02}), 100),
            "la mappa delle pagine nomina la pagina 4294967296, oltre la fine del file");
  EXPECT_EQ(Failure(Map(0x01, {120}), 100),
            "la mappa delle pagine nomina la pagina 120, oltre la fine del file");
  pages_[7] = Bitmap({kPagesPerBitmap - 1});
  EXPECT_EQ(Failure(Map(0x01, {7}), 50), "la mappa delle pagine nomina la pagina " +
                                             std::to_string(kPagesPerBitmap - 1) +
                                             ", oltre la fine del file");
  EXPECT_EQ(Failure(Map(0x01, {9}), 50), "la pagina 9 della mappa delle pagine non si legge");
  pages_[7][0] = 0x01;
  EXPECT_EQ(Failure(Map(0x01, {7}), 50),
            "la mappa delle pagine nomina la pagina 7, che non è una pagina di mappa");
}

}  // namespace
}  // namespace catpub::db::reader::jet
