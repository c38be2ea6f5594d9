#include "app/value_conversions.h"

#include <cmath>

#include "platform/fatal_error.h"

namespace catpub::app {

std::string ToText(const db::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  throw FatalError("not a text");
}

int32_t ToLong(const db::Value& value, const std::string& what) {
  double number = std::visit(
      [&](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return v ? -1 : 0;
        } else if constexpr (std::is_arithmetic_v<T>) {
          return static_cast<double>(v);
        } else if constexpr (std::is_same_v<T, db::Currency>) {
          return static_cast<double>(v.ten_thousandths) / 10000;
        } else {
          throw FatalError(what + " is not a number");
        }
      },
      value);
  double rounded = std::nearbyint(number);
  if (!(rounded >= INT32_MIN && rounded <= INT32_MAX)) throw FatalError(what + " out of range");
  return static_cast<int32_t>(rounded);
}

}  // namespace catpub::app
