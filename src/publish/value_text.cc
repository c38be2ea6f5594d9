#include "publish/value_text.h"

#include <cmath>
#include <cstdint>

#include "publish/number_text.h"

namespace catpub::publish {
namespace {

// Day numbers of 01/01/0100 and 31/12/9999, counted from 30/12/1899.
constexpr int64_t kFirstDay = -657434;
constexpr int64_t kLastDay = 2958465;
constexpr int64_t kSecondsPerDay = 86400;

struct CivilDate {
  int64_t year;
  int64_t month;
  int64_t day;
};

// Proleptic Gregorian date of a day number counted from 30/12/1899 (day 0).
CivilDate DateOfDay(int64_t day_number) {
  const int64_t z = day_number - 25569 + 719468;  // days from 01/03/0000
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t day_of_era = z - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;  // March is 0
  const int64_t day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const int64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

void AppendPadded(int64_t value, int width, std::string& out) {
  char digits[8];
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(digits, static_cast<size_t>(width));
}

bool AppendDateTimeText(double days, std::string& out) {
  if (!(days > static_cast<double>(kFirstDay - 1) && days < static_cast<double>(kLastDay + 1))) {
    return false;
  }
  const double whole = std::trunc(days);
  int64_t day_number = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(days - whole) * static_cast<double>(kSecondsPerDay));
  if (seconds == kSecondsPerDay) {
    seconds = 0;
    ++day_number;
  }
  if (day_number < kFirstDay || day_number > kLastDay) return false;

  const bool date_shown = whole != 0;
  const bool time_shown = whole == 0 || seconds != 0;
  if (date_shown) {
    CivilDate date = DateOfDay(day_number);
    AppendPadded(date.day, 2, out);
    out += '/';
    AppendPadded(date.month, 2, out);
    out += '/';
    AppendPadded(date.year, 4, out);
  }
  if (date_shown && time_shown) out += ' ';
  if (time_shown) {
    AppendPadded(seconds / 3600, 2, out);
    out += ':';
    AppendPadded(seconds / 60 % 60, 2, out);
    out += ':';
    AppendPadded(seconds % 60, 2, out);
  }
  return true;
}

struct TextVisitor {
  std::string& out;

  bool operator()(std::monostate) const { return true; }
  bool operator()(bool v) const {
    out += v ? "Vero" : "Falso";
    return true;
  }
  bool operator()(uint8_t v) const { return Whole(v); }
  bool operator()(int16_t v) const { return Whole(v); }
  bool operator()(int32_t v) const { return Whole(v); }
  bool operator()(float v) const {
    AppendRealText(v, kSingleDigits, out);
    return true;
  }
  bool operator()(double v) const {
    AppendRealText(v, kDoubleDigits, out);
    return true;
  }
  bool operator()(db::Currency v) const {
    AppendCurrencyText(v, out);
    return true;
  }
  bool operator()(db::DateTime v) const { return AppendDateTimeText(v.days, out); }
  bool operator()(const std::string& v) const {
    out += v;
    return true;
  }

  bool Whole(int64_t v) const {
    AppendWholeText(v, out);
    return true;
  }
};

}  // namespace

bool AppendValueText(const db::Value& value, std::string& out) {
  return std::visit(TextVisitor{out}, value);
}

}  // namespace catpub::publish
