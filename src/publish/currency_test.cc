#include "publish/currency.h"

#include <gtest/gtest.h>

#include <limits>

namespace catpub::publish {
namespace {

constexpr int64_t kNone = std::numeric_limits<int64_t>::min() + 1;  // marks an expected failure

struct Case {
  db::Value value;
  int64_t ten_thousandths;
  ConversionError error = ConversionError::kNone;
};

TEST(CurrencyTest, RoundsTheExactBinaryValueHalvesToEven) {
  const Case cases[] = {
      {1.35, 13500},
      {2.50, 25000},
      {1.99, 19900},
      {0.0, 0},
      {0.00005, 1},  // the double lies just above 0.00005
      {-0.00005, -1},
      {0.00015, 1},  // ... and just below 0.00015
      {0.00025, 3},
      {0.00035, 3},
      {1.00025, 10003},
      {1.00045, 10005},
      {2.00005, 20000},
      {0.12345, 1235},
      {14427.25095, 144272509},
      {0.03125, 312},  // exactly 312.5 ten-thousandths: to the even 312
      {0.09375, 938},  // exactly 937.5: to the even 938
      {-0.03125, -312},
      {922337203685477.5, 9223372036854775000},
      {-922337203685477.5, -9223372036854775000},
      {1.35f, 13500},  // the Single lies at 1.35000002384...
      {2.50005f, 25001},
      {db::DateTime{1.5}, 15000},
  };
  for (const Case& c : cases) {
    Converted<db::Currency> result = ToCurrency(c.value);
    ASSERT_TRUE(result.ok()) << "index " << c.value.index();
    EXPECT_EQ(result.value.ten_thousandths, c.ten_thousandths) << "index " << c.value.index();
  }
}

TEST(CurrencyTest, WholeNumbersBooleansTextAndFailures) {
  const Case cases[] = {
      {int32_t{12}, 120000},
      {int32_t{-2147483647 - 1}, -21474836480000},
      {int16_t{-3}, -30000},
      {uint8_t{255}, 2550000},
      {true, -10000},
      {false, 0},
      {db::Currency{123}, 123},
      {std::string("1,35"), 13500},
      {std::string(" 2,5 "), 25000},
      {std::string("1.234,5"), 12345000},
      {std::string("0,00005"), 1},
      {std::monostate{}, kNone, ConversionError::kNull},
      {std::string("abc"), kNone, ConversionError::kNotANumber},
      {std::string(""), kNone, ConversionError::kNotANumber},
      {std::string("1,35 EUR"), kNone, ConversionError::kNotANumber},
      {std::string("1E20"), kNone, ConversionError::kOutOfRange},
      {std::string("1E400"), kNone, ConversionError::kOutOfRange},
      {922337203685477.6, kNone, ConversionError::kOutOfRange},  // 2^63 + 443 ten-thousandths
      {-922337203685477.6, kNone, ConversionError::kOutOfRange},
      {1e300, kNone, ConversionError::kOutOfRange},
      {std::numeric_limits<double>::infinity(), kNone, ConversionError::kOutOfRange},
      {std::numeric_limits<double>::quiet_NaN(), kNone, ConversionError::kOutOfRange},
      {std::numeric_limits<float>::max(), kNone, ConversionError::kOutOfRange},
  };
  for (const Case& c : cases) {
    Converted<db::Currency> result = ToCurrency(c.value);
    EXPECT_EQ(result.error, c.error) << "index " << c.value.index();
    if (c.error == ConversionError::kNone) {
      EXPECT_EQ(result.value.ten_thousandths, c.ten_thousandths) << "index " << c.value.index();
    }
  }
}

}  // namespace
}  // namespace catpub::publish
