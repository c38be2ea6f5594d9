#include "db/row_codec.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace catpub::db {
namespace {

TEST(RowCodecTest, EveryAlternativeAndItsExtremesRoundTrip) {
  const std::vector<Value> row = {
      std::monostate{},
      true,
      false,
      uint8_t{0},
      uint8_t{255},
      std::numeric_limits<int16_t>::min(),
      std::numeric_limits<int32_t>::max(),
      FLT_TRUE_MIN,
      -DBL_MAX,
      Currency{std::numeric_limits<int64_t>::min()},
      DateTime{-657434.25},
      std::string(),
      std::string("città €"),
      std::string(100000, 'x'),  // a length of three LEB128 bytes
  };
  std::string encoded;
  AppendRow(encoded, row);
  ASSERT_EQ(EncodedRowSize(encoded, 0, row.size()), encoded.size());
  std::vector<Value> decoded(row.size(), std::string("previous"));
  DecodeRow(encoded, 0, decoded);
  EXPECT_EQ(decoded, row);
}

TEST(RowCodecTest, NegativeZeroAndNaNKeepTheirBits) {
  std::string encoded;
  AppendDouble(encoded, -0.0);
  AppendSingle(encoded, std::numeric_limits<float>::quiet_NaN());
  std::vector<Value> decoded(2);
  DecodeRow(encoded, 0, decoded);
  EXPECT_TRUE(std::signbit(std::get<double>(decoded[0])));
  EXPECT_TRUE(std::isnan(std::get<float>(decoded[1])));
}

TEST(RowCodecTest, MalformedBytesAreRefusedNotRead) {
  std::string text;
  AppendText(text, "abc");
  std::string currency;
  AppendCurrency(currency, 5);
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"unknown tag", std::string(1, '\x0a')},
      {"payload cut short", currency.substr(0, 5)},
      {"text cut short", text.substr(0, 3)},
      {"length cut short", std::string("\x09\x80", 2)},
      {"length beyond the end", std::string("\x09\x7f", 2) + "abc"},
      {"length over 64 bits", std::string("\x09") + std::string(10, '\xff') + "\x01"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(EncodedValueSize(c.bytes, 0)) << c.what;
    EXPECT_FALSE(EncodedRowSize(c.bytes, 0, 1)) << c.what;
  }
  EXPECT_FALSE(EncodedRowSize(text, 0, 2)) << "fewer values than columns";
  EXPECT_EQ(EncodedRowSize(text + currency, 0, 2), text.size() + currency.size());
}

TEST(RowCodecTest, VarintsOfEveryWidth) {
  for (uint64_t value : {uint64_t{0}, uint64_t{127}, uint64_t{128}, uint64_t{16383},
                         uint64_t{1} << 35, std::numeric_limits<uint64_t>::max()}) {
    std::string bytes;
    AppendVarint(bytes, value);
    size_t pos = 0;
    EXPECT_EQ(ReadVarint(bytes, pos), value);
    EXPECT_EQ(pos, bytes.size());
  }
}

}  // namespace
}  // namespace catpub::db
