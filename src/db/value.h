// A column value as the database stores it: Null or one of the Access column types, decoded exactly
// from the stored bytes. Converting it to what a caller needs is the caller's business.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace catpub::db {

// Signed count of ten-thousandths, as Access stores a Currency column.
struct Currency {
  int64_t ten_thousandths = 0;
  bool operator==(const Currency&) const = default;
};

// Days since 30/12/1899, the fraction being the time of day, as Access stores a Date/Time column.
struct DateTime {
  double days = 0;
  bool operator==(const DateTime&) const = default;
};

// Alternatives by column type: Null, Yes/No, Byte (unsigned), Integer, Long, Single, Double,
// Currency, Date/Time, Text and Memo (UTF-8).
using Value = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, float, double, Currency,
                           DateTime, std::string>;

inline bool IsNull(const Value& value) { return std::holds_alternative<std::monostate>(value); }

}  // namespace catpub::db
