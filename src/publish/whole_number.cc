#include "publish/whole_number.h"

#include <cmath>
#include <limits>
#include <optional>

#include "publish/regional_number.h"

namespace catpub::publish {
namespace {

Converted<int32_t> FromWhole(int64_t whole) {
  if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
    return Converted<int32_t>::Failure(ConversionError::kOutOfRange);
  }
  return {static_cast<int32_t>(whole)};
}

Converted<int32_t> FromReal(double value) {
  // Far outside the range (NaN and infinities too) before anything is rounded or cast.
  if (!(std::fabs(value) < 4294967296.0)) {
    return Converted<int32_t>::Failure(ConversionError::kOutOfRange);
  }
  double rounded = std::floor(value);
  const double above = value - rounded;  // exact
  if (above > 0.5 || (above == 0.5 && std::fmod(rounded, 2.0) != 0)) rounded += 1;
  return FromWhole(static_cast<int64_t>(rounded));
}

Converted<int32_t> FromCurrency(db::Currency value) {
  const int64_t count = value.ten_thousandths;
  int64_t whole = count / 10000;
  int64_t rest = count % 10000;  // same sign as count
  if (rest < 0) {
    whole -= 1;
    rest += 10000;
  }
  if (rest > 5000 || (rest == 5000 && whole % 2 != 0)) whole += 1;
  return FromWhole(whole);
}

struct LongVisitor {
  Converted<int32_t> operator()(std::monostate) const {
    return Converted<int32_t>::Failure(ConversionError::kNull);
  }
  Converted<int32_t> operator()(bool v) const { return {v ? -1 : 0}; }
  Converted<int32_t> operator()(uint8_t v) const { return {v}; }
  Converted<int32_t> operator()(int16_t v) const { return {v}; }
  Converted<int32_t> operator()(int32_t v) const { return {v}; }
  Converted<int32_t> operator()(float v) const { return FromReal(v); }
  Converted<int32_t> operator()(double v) const { return FromReal(v); }
  Converted<int32_t> operator()(db::Currency v) const { return FromCurrency(v); }
  Converted<int32_t> operator()(db::DateTime v) const { return FromReal(v.days); }
  Converted<int32_t> operator()(const std::string& v) const {
    std::optional<RegionalNumber> number = ParseRegionalNumber(v);
    if (!number) return Converted<int32_t>::Failure(ConversionError::kNotANumber);
    std::optional<int64_t> whole = ToRoundedWhole(*number);
    if (!whole) return Converted<int32_t>::Failure(ConversionError::kOutOfRange);
    return FromWhole(*whole);
  }
};

}  // namespace

Converted<int32_t> ToLong(const db::Value& value) { return std::visit(LongVisitor{}, value); }

}  // namespace catpub::publish
