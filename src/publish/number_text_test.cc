#include "publish/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace catpub::publish {
namespace {

struct RealCase {
  double value;
  int digits;
  const char* text;
};

TEST(NumberTextTest, RealsInTheRegionalFormWithExponentsAtTheEdges) {
  const RealCase cases[] = {
      {5.5, kDoubleDigits, "5,5"},
      {12, kDoubleDigits, "12"},
      {0.125, kDoubleDigits, "0,125"},
      {12345, kDoubleDigits, "12345"},
      {12.5, kDoubleDigits, "12,5"},
      {-12.5, kDoubleDigits, "-12,5"},
      {1e15, kDoubleDigits, "1E+15"},
      {999999999999999, kDoubleDigits, "999999999999999"},
      {999999999999999.9, kDoubleDigits, "1E+15"},  // rounds to 16 digits
      {123456789012345.6, kDoubleDigits, "123456789012346"},
      {1234567890123456, kDoubleDigits, "1,23456789012346E+15"},
      {0.0001, kDoubleDigits, "0,0001"},
      {0.00001, kDoubleDigits, "1E-05"},
      {0.000015, kDoubleDigits, "1,5E-05"},
      {-2.5e20, kDoubleDigits, "-2,5E+20"},
      {1e100, kDoubleDigits, "1E+100"},
      {0.1 + 0.2, kDoubleDigits, "0,3"},
      {33.333333333333336, kDoubleDigits, "33,3333333333333"},
      {-0.0, kDoubleDigits, "0"},
      {0, kDoubleDigits, "0"},
      {static_cast<double>(0.1f), kSingleDigits, "0,1"},
      {static_cast<double>(1.35f), kSingleDigits, "1,35"},
      {static_cast<double>(1.35f), kDoubleDigits, "1,35000002384186"},
      {static_cast<double>(9999999.0f), kSingleDigits, "9999999"},
      {static_cast<double>(1e7f), kSingleDigits, "1E+07"},
      {static_cast<double>(0.00001f), kSingleDigits, "1E-05"},
      {std::numeric_limits<double>::infinity(), kDoubleDigits, "1,#INF"},
      {-std::numeric_limits<double>::infinity(), kDoubleDigits, "-1,#INF"},
  };
  for (const RealCase& c : cases) {
    std::string text = "x";
    AppendRealText(c.value, c.digits, text);
    EXPECT_EQ(text, std::string("x") + c.text) << c.value << " with " << c.digits << " digits";
  }
}

struct CurrencyCase {
  int64_t ten_thousandths;
  const char* text;
};

// Whole numbers take a shorter way to their text; it must be the general form's text exactly.
TEST(NumberTextTest, WholeNumbersAsTheGeneralFormWritesThem) {
  auto general = [](double value, int digits) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*G", digits, value);
    std::string text = buffer;
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
  };
  uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    // Magnitudes from 1 to about 10^17, both signs, for both precisions.
    const double magnitude = static_cast<double>(state >> (10 + i % 54));
    const double value = (i % 2 ? -1 : 1) * std::trunc(magnitude);
    if (value == 0) continue;  // zero, negative zero too, is "0" (above)
    for (int digits : {kSingleDigits, kDoubleDigits}) {
      std::string text;
      AppendRealText(value, digits, text);
      ASSERT_EQ(text, general(value, digits)) << value << " with " << digits << " digits";
    }
  }
}

TEST(NumberTextTest, CurrencyWithoutTrailingZeros) {
  const CurrencyCase cases[] = {
      {25000, "2,5"},
      {120000, "12"},
      {1250, "0,125"},
      {13500, "1,35"},
      {19900, "1,99"},
      {-1, "-0,0001"},
      {-25000, "-2,5"},
      {10, "0,001"},
      {0, "0"},
      {10000, "1"},
      {-10000, "-1"},
      {std::numeric_limits<int64_t>::max(), "922337203685477,5807"},
      {std::numeric_limits<int64_t>::min(), "-922337203685477,5808"},
  };
  for (const CurrencyCase& c : cases) {
    std::string text;
    AppendCurrencyText(db::Currency{c.ten_thousandths}, text);
    EXPECT_EQ(text, c.text) << c.ten_thousandths;
  }
}

TEST(NumberTextTest, WholeNumbers) {
  std::string text;
  AppendWholeText(-2147483648LL, text);
  text += ' ';
  AppendWholeText(0, text);
  EXPECT_EQ(text, "-2147483648 0");
}

}  // namespace
}  // namespace catpub::publish
