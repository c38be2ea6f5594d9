#include "publish/regional_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace catpub::publish {
namespace {

struct NumericCase {
  const char* text;
  std::optional<double> value;
};

TEST(RegionalNumberTest, ReadsWhatIsNumericAcceptsAndNothingElse) {
  const NumericCase cases[] = {
      {"0012345", 12345},
      {"0012345         ", 12345},  // a 16-character field
      {"123456", 123456},
      {"12,5", 12.5},
      {"  12,5\t", 12.5},
      {"\xC2\xA0"
       "7",
       7},  // non-breaking blank in front
      {"\r\n5\r\n", 5},
      {"0", 0},
      {",5", 0.5},
      {"5,", 5},
      {"-5", -5},
      {"- 5", -5},
      {"+5", 5},
      {"5-", -5},
      {"5 -", -5},
      {"(5)", -5},
      {"1.234", 1234},  // "." groups thousands on the shop's system
      {"1.234,5", 1234.5},
      {"1.2.3", 123},
      {"12.", 12},
      {"1E3", 1000},
      {"1e-3", 0.001},
      {"1,5E+2", 150},
      {"\xE2\x82\xAC 5", 5},  // "€ 5"
      {"5\xE2\x82\xAC", 5},
      {"&H10", 16},
      {"&h7FFFFFFF", 2147483647},
      {"&O17", 15},
      {"12345678901234567890", 12345678901234567890.0},
      {"  0012345       ", 12345},
      {"000", 0},
      {"999999999999999", 999999999999999.0},
      {"9999999999999999", 9999999999999999.0},
      {" 12 ", 12},
      {"1E-400", 0},
      {"", std::nullopt},
      {"                ", std::nullopt},
      {"ABC", std::nullopt},
      {"5A", std::nullopt},
      {"A5", std::nullopt},
      {"5 5", std::nullopt},
      {".5", std::nullopt},
      {"1,2,3", std::nullopt},
      {",", std::nullopt},
      {"-", std::nullopt},
      {"--5", std::nullopt},
      {"+5+", std::nullopt},
      {"(5", std::nullopt},
      {"1E", std::nullopt},
      {"1E+", std::nullopt},
      {"1E400", std::nullopt},
      {"\xE2\x82\xAC\xE2\x82\xAC"
       "5",
       std::nullopt},
      {"\xE2\x82\xAC"
       "5E2",
       std::nullopt},  // no exponent after the currency symbol
      {"&H", std::nullopt},
      {"&H80000000", std::nullopt},
      {"&O8", std::nullopt},
      {"&H1.0", std::nullopt},
      {"$5", std::nullopt},
  };
  for (const NumericCase& c : cases) {
    EXPECT_EQ(NumericValue(c.text), c.value) << "text \"" << c.text << "\"";
  }
}

TEST(RegionalNumberTest, NegativeZeroIsZero) {
  std::optional<double> value = NumericValue("-0");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, 0);
}

TEST(RegionalNumberTest, DoubleIsTheNearestToTheDecimalText) {
  EXPECT_EQ(NumericValue("0,1"), 0.1);
  EXPECT_EQ(NumericValue("1,00025"), 1.00025);
  EXPECT_EQ(NumericValue("9007199254740993"), 9007199254740992.0);  // tie to even
  EXPECT_EQ(NumericValue("9007199254740993,0001"), 9007199254740994.0);
}

struct WholeCase {
  const char* text;
  std::optional<int64_t> value;
};

TEST(RegionalNumberTest, WholeRoundingDecidesOnTheDecimalDigits) {
  const WholeCase cases[] = {
      {"2,5", 2},
      {"3,5", 4},
      {"-2,5", -2},
      {"-3,5", -4},
      {"2,50001", 3},
      {"2,49999", 2},
      {"0,5", 0},
      {"1,5", 2},
      {"0,05", 0},
      {"0,95", 1},
      {"1.234", 1234},
      {"12E2", 1200},
      {"125E-1", 12},
      {"135E-1", 14},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt},
      {"9223372036854775807,5", std::nullopt},
      {"1E19", std::nullopt},
      {"&HFFFFFFFF", -1},
      {"&H7FFFFFFF", 2147483647},
      {"&H100000000", std::nullopt},
  };
  for (const WholeCase& c : cases) {
    std::optional<RegionalNumber> number = ParseRegionalNumber(c.text);
    ASSERT_TRUE(number) << c.text;
    EXPECT_EQ(ToRoundedWhole(*number), c.value) << "text \"" << c.text << "\"";
  }
}

}  // namespace
}  // namespace catpub::publish
