#include "db/reader/jet_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "platform/fatal_error.h"

namespace catpub::db::reader::jet {
namespace {

std::string Utf8(std::string_view stored) {
  std::string out;
  AppendTextAsUtf8(stored, out);
  return out;
}

TEST(JetTextTest, StoredFormsToUtf8) {
  const struct {
    const char* what;
    std::string stored;
    std::string utf8;
  } cases[] = {
      {"empty", "", ""},
      {"UTF-16LE", std::string("a\0\xe0\0\xac\x20", 6), "aà€"},
      {"compressed",
       "\xff\xfe"
       "abc\xe0",
       "abcà"},
      {"compressed, then UTF-16 after a 00, then compressed again",
       std::string("\xff\xfe"
                   "ab\0\xac\x20\0cd",
                   10),
       "ab€cd"},
      {"surrogate pair", std::string("\x3d\xd8\x00\xde", 4), "\xf0\x9f\x98\x80"},
      {"lone high surrogate",
       std::string("\x3d\xd8"
                   "a\0",
                   4),
       "\xef\xbf\xbd"
       "a"},
      {"lone low surrogate", std::string("\x00\xde", 2), "\xef\xbf\xbd"},
      {"trailing odd byte", std::string("a\0b", 3), "a"},
      {"compressed marker alone", "\xff\xfe", ""},
      {"lone high surrogate, then compressed",
       std::string("\xff\xfe\0\x3d\xd8\0"
                   "ab",
                   8),
       "\xef\xbf\xbd"
       "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8(c.stored), c.utf8) << c.what;
}

// A data page holding `rows` (row 0 at the end of the page, each below the previous).
std::string DataPage(const std::vector<std::string>& rows) {
  std::string page(kJetPageSize, '\0');
  page[0] = static_cast<char>(kDataPage);
  uint16_t count = static_cast<uint16_t>(rows.size());
  std::memcpy(&page[12], &count, 2);
  size_t end = kJetPageSize;
  for (size_t i = 0; i < rows.size(); ++i) {
    size_t start = end - rows[i].size();
    page.replace(start, rows[i].size(), rows[i]);
    uint16_t offset = static_cast<uint16_t>(start);
    std::memcpy(&page[14 + 2 * i], &offset, 2);
    end = start;
  }
  return page;
}

TEST(PageRowTest, RowsAndTheirBounds) {
  std::string page = DataPage({"first", "second"});
  EXPECT_EQ(PageRow(page, 0), "first");
  EXPECT_EQ(PageRow(page, 1), "second");
  EXPECT_FALSE(PageRow(page, 2));
  std::string wrong_type = page;
  wrong_type[0] = 2;
  EXPECT_FALSE(PageRow(wrong_type, 0));
  std::string into_header = page;
  into_header[14] = 4;  // row 0 starting inside the offset table
  into_header[15] = 0;
  EXPECT_FALSE(PageRow(into_header, 0));
  std::string reversed = page;
  reversed[16] = static_cast<char>(0xff);  // row 1 starting after row 0
  reversed[17] = 0x0f;
  EXPECT_FALSE(PageRow(reversed, 1));
  std::string too_many = page;
  too_many[12] = static_cast<char>(0xff);
  too_many[13] = static_cast<char>(0xff);
  EXPECT_FALSE(PageRow(too_many, 0));
}

class LongValueTest : public ::testing::Test {
 protected:
  static std::string Header(uint32_t length, uint8_t kind, uint32_t page_row) {
    std::string header(kLongValueHeader, '\0');
    uint32_t first = length | uint32_t{kind} << 24;
    std::memcpy(&header[0], &first, 4);
    std::memcpy(&header[4], &page_row, 4);
    return header;
  }
  static std::string Link(uint32_t next_page_row, const std::string& data) {
    std::string row(4, '\0');
    std::memcpy(&row[0], &next_page_row, 4);
    return row + data;
  }
  std::string Read(const std::string& field) {
    return ReadLongValue(field, [this](uint32_t page) -> std::optional<std::string_view> {
      auto found = pages_.find(page);
      if (found == pages_.end()) return std::nullopt;
      return found->second;
    });
  }
  std::map<uint32_t, std::string> pages_;
};

TEST_F(LongValueTest, InlineSinglePageAndChains) {
  EXPECT_EQ(Read(Header(5, 0x80, 0) + "hello"), "hello");
  pages_[7] = DataPage({"other", "single page value"});
  EXPECT_EQ(Read(Header(6, 0x40, (7 << 8) | 1)), "single");
  pages_[8] = DataPage({Link((9 << 8) | 0, "first part, "), Link(0, "unused")});
  pages_[9] = DataPage({Link((8 << 8) | 1, "second part, ")});
  EXPECT_EQ(Read(Header(31, 0, (8 << 8) | 0)), "first part, second part, unused");
  // The last page may hold more than the value.
  EXPECT_EQ(Read(Header(26, 0, (8 << 8) | 0)), "first part, second part, u");
}

TEST_F(LongValueTest, DamageIsAFatalErrorNeverALoop) {
  pages_[8] = DataPage({Link((8 << 8) | 0, "again and again")});
  pages_[9] = DataPage({Link(0, "end")});
  pages_[10] = DataPage({Link((9 << 8) | 0, "")});
  const struct {
    const char* what;
    std::string field;
  } cases[] = {
      {"field shorter than its header", "abc"},
      {"inline longer than its field", Header(9, 0x80, 0) + "short"},
      {"page that cannot be read", Header(3, 0x40, 99 << 8)},
      {"row that does not exist", Header(3, 0x40, (9 << 8) | 5)},
      {"single page longer than its row", Header(300, 0x40, 9 << 8)},
      {"chain that loops", Header(1000, 0, 8 << 8)},
      {"chain shorter than its header", Header(10, 0, 9 << 8)},
      {"chain with an empty page", Header(3, 0, 10 << 8)},
      {"unknown kind", Header(3, 0x20, 9 << 8)},
  };
  for (const auto& c : cases) EXPECT_THROW(Read(c.field), FatalError) << c.what;
}

TEST(DecimalTest, MagnitudeScaleAndSign) {
  std::string stored(17, '\0');
  stored[13] = 0x39;  // least significant word first byte: 12345 = 0x3039
  stored[14] = 0x30;
  EXPECT_DOUBLE_EQ(DecimalToDouble(stored, 2), 123.45);
  stored[0] = static_cast<char>(0x80);
  EXPECT_DOUBLE_EQ(DecimalToDouble(stored, 0), -12345.0);
  stored[1] = 1;  // lowest byte of the most significant word: 2^96 more
  EXPECT_DOUBLE_EQ(DecimalToDouble(stored, 0), -(0x1p96 + 12345.0));
}

TEST(GuidTest, AccessForm) {
  const char bytes[] = "\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xaa\xbb\xcc\xdd\xee\xff";
  EXPECT_EQ(GuidText(std::string_view(bytes, 16)), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

}  // namespace
}  // namespace catpub::db::reader::jet
