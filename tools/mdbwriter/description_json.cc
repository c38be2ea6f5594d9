#include "mdbwriter/description_json.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

namespace catpub::mdbwriter {
namespace {

using nlohmann::json;

std::string Shown(const json& value) {
  std::string text = value.dump();
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

void CheckKeys(const json& object, std::initializer_list<const char*> allowed,
               const std::string& where) {
  if (!object.is_object()) throw std::runtime_error(where + ": expected a JSON object");
  for (const auto& item : object.items()) {
    bool known = false;
    for (const char* key : allowed) known = known || item.key() == key;
    if (!known) throw std::runtime_error(where + ": unknown key \"" + item.key() + "\"");
  }
}

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

ColumnType TypeNamed(const std::string& name, const std::string& where) {
  static const struct {
    const char* name;
    ColumnType type;
  } kNames[] = {{"yes/no", ColumnType::kBoolean},     {"boolean", ColumnType::kBoolean},
                {"byte", ColumnType::kByte},          {"integer", ColumnType::kInteger},
                {"long", ColumnType::kLong},          {"currency", ColumnType::kCurrency},
                {"single", ColumnType::kSingle},      {"double", ColumnType::kDouble},
                {"date/time", ColumnType::kDateTime}, {"datetime", ColumnType::kDateTime},
                {"text", ColumnType::kText},          {"memo", ColumnType::kMemo}};
  const std::string lowered = Lowered(name);
  for (const auto& entry : kNames) {
    if (lowered == entry.name) return entry.type;
  }
  throw std::runtime_error(where + ": unknown type \"" + name + "\"");
}

Column ColumnOf(const json& description, const std::string& where) {
  CheckKeys(description, {"name", "type", "size"}, where);
  if (!description.contains("name") || !description["name"].is_string() ||
      !description.contains("type") || !description["type"].is_string()) {
    throw std::runtime_error(where + ": a column needs a \"name\" and a \"type\" (strings)");
  }
  Column column{description["name"].get<std::string>(), ColumnType::kText};
  const std::string here = where + " \"" + column.name + "\"";
  column.type = TypeNamed(description["type"].get<std::string>(), here);
  if (description.contains("size")) {
    if (column.type != ColumnType::kText) {
      throw std::runtime_error(here + ": \"size\" is for Text columns only");
    }
    if (!description["size"].is_number_integer()) {
      throw std::runtime_error(here + ": \"size\" must be an integer");
    }
    const auto size = description["size"].get<int64_t>();
    if (size < 1 || size > 255) throw std::runtime_error(here + ": \"size\" must be 1..255");
    column.text_length = static_cast<int>(size);
  }
  return column;
}

int64_t IntegerOf(const json& value, int64_t low, int64_t high) {
  if (!value.is_number_integer()) {
    throw std::runtime_error("expected an integer, got " + Shown(value));
  }
  const bool fits = value.is_number_unsigned()
                        ? value.get<uint64_t>() <= static_cast<uint64_t>(high)
                        : value.get<int64_t>() >= low && value.get<int64_t>() <= high;
  if (!fits) throw std::runtime_error(Shown(value) + " is out of range");
  return value.get<int64_t>();
}

template <typename Int>
Int IntegerOf(const json& value) {
  return static_cast<Int>(
      IntegerOf(value, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max()));
}

// A number, or a string read the way strtod reads it (whole string).
double FloatingOf(const json& value, bool single) {
  if (value.is_number()) {
    const auto number = value.get<double>();
    if (single && std::isfinite(number) && std::fabs(number) > FLT_MAX) {
      throw std::runtime_error(Shown(value) + " is out of range for a Single");
    }
    return number;
  }
  if (!value.is_string()) throw std::runtime_error("expected a number, got " + Shown(value));
  const std::string text = value.get<std::string>();
  char* end = nullptr;
  errno = 0;
  const double number = single ? std::strtof(text.c_str(), &end) : std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size()) {
    throw std::runtime_error("\"" + text + "\" is not a number");
  }
  if (errno == ERANGE && std::isinf(number)) {
    throw std::runtime_error("\"" + text + "\" is out of range");
  }
  return number;
}

db::Value ValueOf(const json& value, ColumnType type) {
  if (value.is_null()) return db::Value{};
  switch (type) {
    case ColumnType::kBoolean:
      if (!value.is_boolean())
        throw std::runtime_error("expected true or false, got " + Shown(value));
      return value.get<bool>();
    case ColumnType::kByte:
      return IntegerOf<uint8_t>(value);
    case ColumnType::kInteger:
      return IntegerOf<int16_t>(value);
    case ColumnType::kLong:
      return IntegerOf<int32_t>(value);
    case ColumnType::kCurrency:
      if (value.is_string()) return db::Currency{ParseCurrency(value.get<std::string>())};
      if (value.is_number_integer()) {
        constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10000;
        return db::Currency{IntegerOf(value, -kLimit, kLimit) * 10000};
      }
      throw std::runtime_error("expected a decimal string like \"1.35\", got " + Shown(value));
    case ColumnType::kSingle:
      return static_cast<float>(FloatingOf(value, true));
    case ColumnType::kDouble:
      return FloatingOf(value, false);
    case ColumnType::kDateTime:
      if (value.is_number()) return db::DateTime{value.get<double>()};
      if (value.is_string()) return db::DateTime{ParseDateTime(value.get<std::string>())};
      throw std::runtime_error("expected a date or a number of days, got " + Shown(value));
    case ColumnType::kText:
    case ColumnType::kMemo:
      if (!value.is_string()) throw std::runtime_error("expected a string, got " + Shown(value));
      return value.get<std::string>();
  }
  throw std::logic_error("unknown column type");
}

// The table's "moved" rows and "catalog_moved".
void MovesOf(const json& description, const std::string& where, Table& table) {
  if (description.contains("moved")) {
    const json& moved = description["moved"];
    if (!moved.is_array()) throw std::runtime_error(where + ": \"moved\" must be an array");
    for (const json& number : moved) {
      if (!number.is_number_integer() || number.get<int64_t>() < 1) {
        throw std::runtime_error(where + ": \"moved\" lists row numbers from 1, not " +
                                 Shown(number));
      }
      table.moved_rows.push_back(number.get<uint64_t>());
    }
  }
  if (description.contains("catalog_moved")) {
    if (!description["catalog_moved"].is_boolean()) {
      throw std::runtime_error(where + ": \"catalog_moved\" must be true or false");
    }
    table.catalog_row_moved = description["catalog_moved"].get<bool>();
  }
}

// The row count a definition records, under `key`, when the description gives it.
std::optional<uint32_t> StoredRowsOf(const json& description, const char* key,
                                     const std::string& where) {
  if (!description.contains(key)) return std::nullopt;
  try {
    return static_cast<uint32_t>(
        IntegerOf(description[key], 0, std::numeric_limits<uint32_t>::max()));
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(where + ": \"" + key +
                             "\" is a row count, 0..4294967295: " + error.what());
  }
}

Table TableOf(const json& description, size_t number) {
  std::string where = "table " + std::to_string(number);
  CheckKeys(description, {"name", "columns", "rows", "moved", "catalog_moved", "stored_rows"},
            where);
  if (!description.contains("name") || !description["name"].is_string()) {
    throw std::runtime_error(where + ": a table needs a \"name\" (string)");
  }
  Table table;
  table.name = description["name"].get<std::string>();
  where = "table \"" + table.name + "\"";
  if (!description.contains("columns") || !description["columns"].is_array()) {
    throw std::runtime_error(where + ": a table needs \"columns\" (an array)");
  }
  for (const json& column : description["columns"]) {
    table.columns.push_back(ColumnOf(column, where + ", column"));
  }
  MovesOf(description, where, table);
  table.stored_rows = StoredRowsOf(description, "stored_rows", where);
  if (!description.contains("rows")) return table;
  if (!description["rows"].is_array())
    throw std::runtime_error(where + ": \"rows\" must be an array");
  for (const json& row : description["rows"]) {
    const std::string here = where + ", row " + std::to_string(table.rows.size() + 1);
    if (!row.is_array() || row.size() != table.columns.size()) {
      throw std::runtime_error(here + ": expected an array of " +
                               std::to_string(table.columns.size()) + " values");
    }
    auto& values = table.rows.emplace_back();
    values.reserve(row.size());
    for (size_t i = 0; i < row.size(); ++i) {
      try {
        values.push_back(ValueOf(row[i], table.columns[i].type));
      } catch (const std::runtime_error& error) {
        throw std::runtime_error(here + ", column \"" + table.columns[i].name + "\" (" +
                                 ColumnTypeName(table.columns[i].type) + "): " + error.what());
      }
    }
  }
  return table;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number written by `count` digits at `at`, or -1.
int DigitsAt(std::string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  int number = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return -1;
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

// Days from 01/01/1970 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The text in double quotes, for messages. Appended piece by piece: GCC 12 takes
// "\"" + std::string(text) + "\"" for an overlapping copy (-Wrestrict) when it inlines it at -O3.
std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

}  // namespace

int64_t ParseCurrency(std::string_view text) {
  const std::string shown = Quoted(text);
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++at;
  const size_t digits_start = at;
  uint64_t magnitude = 0;
  constexpr uint64_t kMaxMagnitude = 9223372036854775808ull;  // 2^63, reached only when negative
  auto add_digit = [&](char c) {
    if (magnitude > (kMaxMagnitude - static_cast<uint64_t>(c - '0')) / 10) {
      throw std::runtime_error(shown + " is out of range for Currency");
    }
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
  };
  while (at < text.size() && IsDigit(text[at])) add_digit(text[at++]);
  if (at == digits_start) throw std::runtime_error(shown + " is not a decimal number");
  size_t decimals = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && IsDigit(text[at])) {
      add_digit(text[at++]);
      ++decimals;
    }
    if (decimals == 0) throw std::runtime_error(shown + " is not a decimal number");
  }
  if (at != text.size()) throw std::runtime_error(shown + " is not a decimal number");
  if (decimals > 4) throw std::runtime_error(shown + " has more than 4 decimals");
  for (; decimals < 4; ++decimals) add_digit('0');
  if (!negative && magnitude == kMaxMagnitude) {
    throw std::runtime_error(shown + " is out of range for Currency");
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

double ParseDateTime(std::string_view text) {
  const std::string shown = Quoted(text);
  const int year = DigitsAt(text, 0, 4);
  const int month = DigitsAt(text, 5, 2);
  const int day = DigitsAt(text, 8, 2);
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool well_formed =
      text.size() >= 10 && text[4] == '-' && text[7] == '-' && year >= 0 && month >= 0 && day >= 0;
  if (well_formed && text.size() > 10) {
    hour = DigitsAt(text, 11, 2);
    minute = DigitsAt(text, 14, 2);
    well_formed = (text[10] == ' ' || text[10] == 'T') &&
                  (text.size() == 16 || text.size() == 19) && text[13] == ':' && hour >= 0 &&
                  minute >= 0;
    if (well_formed && text.size() == 19) {
      second = DigitsAt(text, 17, 2);
      well_formed = text[16] == ':' && second >= 0;
    }
  }
  if (!well_formed) {
    throw std::runtime_error(shown +
                             " is not a date like \"2000-01-31\" or \"2000-01-31 23:59:59\"");
  }
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    throw std::runtime_error(shown + " is not a date Access can hold");
  }
  const auto days =
      static_cast<double>(DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30));
  const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  return days >= 0 ? days + time : days - time;
}

Description ParseDescription(std::string_view text) {
  json description;
  try {
    description = json::parse(text);
  } catch (const json::parse_error& error) {
    throw std::runtime_error(std::string("the description is not valid JSON: ") + error.what());
  }
  CheckKeys(description, {"tables", "catalog_stored_rows"}, "the description");
  if (!description.contains("tables") || !description["tables"].is_array()) {
    throw std::runtime_error("the description needs \"tables\" (an array)");
  }
  Description result;
  for (const json& table : description["tables"])
    result.tables.push_back(TableOf(table, result.tables.size() + 1));
  result.catalog_stored_rows = StoredRowsOf(description, "catalog_stored_rows", "the description");
  return result;
}

}  // namespace catpub::mdbwriter
