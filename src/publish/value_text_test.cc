#include "publish/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace catpub::publish {
namespace {

struct Case {
  db::Value value;
  const char* text;
};

TEST(ValueTextTest, EveryStoredTypeInItsDefaultText) {
  const Case cases[] = {
      {std::monostate{}, ""},
      {std::string("LATTE"), "LATTE"},
      {std::string(" 5;A "), " 5;A "},
      {true, "Vero"},
      {false, "Falso"},
      {uint8_t{200}, "200"},
      {int16_t{-5}, "-5"},
      {int32_t{30}, "30"},
      {5.5, "5,5"},
      {5.5f, "5,5"},
      {0.1f, "0,1"},  // 7 digits for a Single
      {0.1, "0,1"},
      {1e15, "1E+15"},
      {db::Currency{19900}, "1,99"},
      {db::DateTime{45000}, "15/03/2023"},
      {db::DateTime{45000.75}, "15/03/2023 18:00:00"},
      {db::DateTime{45000.000001}, "15/03/2023"},  // under half a second past midnight
      {db::DateTime{0}, "00:00:00"},
      {db::DateTime{0.5}, "12:00:00"},
      {db::DateTime{-0.5}, "12:00:00"},
      {db::DateTime{1}, "31/12/1899"},
      {db::DateTime{2}, "01/01/1900"},
      {db::DateTime{60}, "28/02/1900"},
      {db::DateTime{61}, "01/03/1900"},
      {db::DateTime{-1.25}, "29/12/1899 06:00:00"},
      {db::DateTime{36526 + 1.0 / 86400 * 3661}, "01/01/2000 01:01:01"},
      {db::DateTime{36526.99999999}, "02/01/2000"},  // rounds up to the next midnight
      {db::DateTime{-657434}, "01/01/0100"},
      {db::DateTime{2958465.99998}, "31/12/9999 23:59:58"},
  };
  for (const Case& c : cases) {
    std::string text = "x";
    EXPECT_TRUE(AppendValueText(c.value, text));
    EXPECT_EQ(text, std::string("x") + c.text) << "index " << c.value.index();
  }
}

TEST(ValueTextTest, DatesOutsideTheYears100To9999HaveNoText) {
  for (double days :
       {-657435.0, 2958466.0, 2958465.999999999, 1e300, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity()}) {
    std::string text = "x";
    EXPECT_FALSE(AppendValueText(db::DateTime{days}, text)) << days;
    EXPECT_EQ(text, "x");
  }
}

}  // namespace
}  // namespace catpub::publish
