#include "publish/leading_number.h"

#include <gtest/gtest.h>

#include <cmath>

namespace catpub::publish {
namespace {

struct Case {
  const char* text;
  double value;
};

TEST(LeadingNumberTest, ReadsLikeVal) {
  const Case cases[] = {
      {"5", 5},
      {"05", 5},
      {"5A", 5},
      {" 5", 5},
      {"5 0", 50},
      {"50", 50},
      {"", 0},
      {"5,5", 5},  // "," is no decimal point here
      {"5.5", 5.5},
      {"5.", 5},
      {".5", 0.5},
      {"A5", 0},
      {",5", 0},
      {"-5", -5},
      {"- 5", -5},
      {"+5", 5},
      {"5-", 5},
      {"1.2.3", 1.2},
      {"\t5\n", 5},
      {"\r5", 0},  // carriage returns are not skipped, unlike line feeds
      {" 1 615 198th Street", 1615198},
      {"5E1", 50},
      {"5e1", 50},
      {"5D1", 50},
      {"5d-1", 0.5},
      {"5E", 5},
      {"5E+", 5},
      {"5 E 1", 50},
      {"&H5", 5},
      {"&h 5", 5},
      {"&HFFFF", -1},
      {"&HFFFFFFFF", -1},
      {"&H10000", 65536},
      {"&O7", 7},
      {"&O9", 0},
      {"&Z5", 0},
      {"Vero", 0},
      {"05/01/1900", 5},  // a date's text starts with its day
      {"1E-400", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LeadingNumber(c.text), c.value) << "text \"" << c.text << "\"";
  }
}

TEST(LeadingNumberTest, HugeNumbersDoNotStopTheReading) {
  EXPECT_TRUE(std::isinf(LeadingNumber("1E400")));
  EXPECT_TRUE(std::isinf(LeadingNumber("-1E400")));
  EXPECT_GT(LeadingNumber("&HFFFFFFFFFFFFFFFFFFFF"), 4294967295.0);
}

}  // namespace
}  // namespace catpub::publish
