#include "publish/whole_number.h"

#include <gtest/gtest.h>

#include <limits>

namespace catpub::publish {
namespace {

struct Case {
  db::Value value;
  int32_t whole;
  ConversionError error = ConversionError::kNone;
};

TEST(WholeNumberTest, ConvertsLikeCLng) {
  const Case cases[] = {
      {int32_t{1234}, 1234},
      {int32_t{-5}, -5},
      {int16_t{-300}, -300},
      {uint8_t{200}, 200},
      {true, -1},
      {false, 0},
      {2.5, 2},
      {3.5, 4},
      {-2.5, -2},
      {-3.5, -4},
      {2.4999999, 2},
      {2.5000001, 3},
      {3.5f, 4},
      {2147483647.0, 2147483647},
      {2147483647.4, 2147483647},
      {-2147483648.5, -2147483647 - 1},
      {db::Currency{25000}, 2},
      {db::Currency{35000}, 4},
      {db::Currency{-25000}, -2},
      {db::Currency{-35000}, -4},
      {db::Currency{-25001}, -3},
      {db::Currency{12345}, 1},
      {db::DateTime{2.5}, 2},
      {std::string("1234"), 1234},
      {std::string(" 1.234 "), 1234},
      {std::string("12,5"), 12},
      {std::string("13,5"), 14},
      {std::string("-7"), -7},
      {std::string("&HFFFFFFFF"), -1},
      {std::monostate{}, 0, ConversionError::kNull},
      {std::string("12A"), 0, ConversionError::kNotANumber},
      {std::string(""), 0, ConversionError::kNotANumber},
      {std::string("3000000000"), 0, ConversionError::kOutOfRange},
      {std::string("99999999999999999999"), 0, ConversionError::kOutOfRange},
      {2147483647.5, 0, ConversionError::kOutOfRange},
      {-2147483649.0, 0, ConversionError::kOutOfRange},
      {3e9, 0, ConversionError::kOutOfRange},
      {1e300, 0, ConversionError::kOutOfRange},
      {std::numeric_limits<double>::quiet_NaN(), 0, ConversionError::kOutOfRange},
      {-std::numeric_limits<float>::infinity(), 0, ConversionError::kOutOfRange},
      {db::Currency{21474836475000}, 0, ConversionError::kOutOfRange},
      {db::Currency{std::numeric_limits<int64_t>::min()}, 0, ConversionError::kOutOfRange},
  };
  for (const Case& c : cases) {
    Converted<int32_t> result = ToLong(c.value);
    EXPECT_EQ(result.error, c.error) << "index " << c.value.index();
    if (c.error == ConversionError::kNone) {
      EXPECT_EQ(result.value, c.whole) << "index " << c.value.index();
    }
  }
}

}  // namespace
}  // namespace catpub::publish
