#include "publish/currency.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "publish/regional_number.h"

namespace catpub::publish {
namespace {

// A double times 10000 needs at most 53 + 10 significant bits (10000 = 2^4 × 625), so a long double
// of 64 bits holds the product exactly and the only rounding is the one we do.
static_assert(std::numeric_limits<long double>::digits >= 63,
              "the exact product of a double and 10000 needs a 64-bit long double");

Converted<db::Currency> FromWhole(int64_t whole) { return {db::Currency{whole * 10000}}; }

Converted<db::Currency> FromReal(double value) {
  if (!std::isfinite(value)) return Converted<db::Currency>::Failure(ConversionError::kOutOfRange);
  const long double product = static_cast<long double>(value) * 10000.0L;
  long double rounded = std::floor(product);
  const long double above = product - rounded;  // exact, in [0, 1)
  if (above > 0.5L || (above == 0.5L && std::fmod(rounded, 2.0L) != 0)) rounded += 1;
  const long double limit = 9223372036854775808.0L;  // 2^63
  if (rounded >= limit || rounded < -limit) {
    return Converted<db::Currency>::Failure(ConversionError::kOutOfRange);
  }
  return {db::Currency{static_cast<int64_t>(rounded)}};
}

struct CurrencyVisitor {
  Converted<db::Currency> operator()(std::monostate) const {
    return Converted<db::Currency>::Failure(ConversionError::kNull);
  }
  Converted<db::Currency> operator()(bool v) const { return FromWhole(v ? -1 : 0); }
  Converted<db::Currency> operator()(uint8_t v) const { return FromWhole(v); }
  Converted<db::Currency> operator()(int16_t v) const { return FromWhole(v); }
  Converted<db::Currency> operator()(int32_t v) const { return FromWhole(v); }
  Converted<db::Currency> operator()(float v) const { return FromReal(v); }
  Converted<db::Currency> operator()(double v) const { return FromReal(v); }
  Converted<db::Currency> operator()(db::Currency v) const { return {v}; }
  Converted<db::Currency> operator()(db::DateTime v) const { return FromReal(v.days); }
  Converted<db::Currency> operator()(const std::string& v) const {
    std::optional<RegionalNumber> number = ParseRegionalNumber(v);
    if (!number) return Converted<db::Currency>::Failure(ConversionError::kNotANumber);
    std::optional<double> real = ToDouble(*number);
    if (!real) return Converted<db::Currency>::Failure(ConversionError::kOutOfRange);
    return FromReal(*real);
  }
};

}  // namespace

Converted<db::Currency> ToCurrency(const db::Value& value) {
  return std::visit(CurrencyVisitor{}, value);
}

}  // namespace catpub::publish
