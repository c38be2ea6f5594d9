#include "publish/regional_number.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

namespace catpub::publish {
namespace {

constexpr std::string_view kEuro = "\xE2\x82\xAC";  // U+20AC in UTF-8
constexpr std::string_view kNoBreakBlank = "\xC2\xA0";
constexpr uint64_t kRadixLimit = uint64_t{1} << 32;
constexpr int kExponentLimit = 99999;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Walks a text with the character classes the reading needs.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  void Skip(size_t count = 1) { pos_ += count; }
  bool Take(std::string_view what) {
    if (text_.substr(pos_).starts_with(what)) {
      pos_ += what.size();
      return true;
    }
    return false;
  }
  // Skips a run of blanks; false when none stands here.
  bool SkipBlanks() {
    size_t start = pos_;
    while (!AtEnd()) {
      char c = Peek();
      if (c == ' ' || (c >= '\t' && c <= '\r')) {
        Skip();
      } else if (!Take(kNoBreakBlank)) {
        break;
      }
    }
    return pos_ != start;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

struct Reading {
  RegionalNumber number;
  bool leading_plus = false;
  bool leading_minus = false;
  bool parentheses = false;
  bool currency = false;
  bool decimal = false;
  bool exponent_seen = false;
  bool in_exponent = false;  // after "E", before its digits
  bool exponent_negative = false;
  bool any_digit = false;
  int base = 10;
  uint64_t radix = 0;
};

// Signs, blanks, "(", "€" before the number; stops after a leading ",".
void ReadLeadingSymbols(Scanner& in, Reading& r, bool& failed) {
  while (!in.AtEnd()) {
    char c = in.Peek();
    if (c == ',') {
      r.decimal = true;
      in.Skip();
      return;
    }
    if (in.SkipBlanks()) continue;
    if (c == '.') {
      failed = true;  // a thousands separator before the first digit
      return;
    }
    if (c == '+' && !r.leading_plus) {
      r.leading_plus = true;
    } else if (c == '-' && !r.leading_minus) {
      r.leading_minus = true;
      r.number.negative = true;
    } else if (c == '(' && !r.parentheses) {
      r.parentheses = true;
    } else if (!r.currency && in.Take(kEuro)) {
      r.currency = true;
      continue;
    } else {
      return;
    }
    in.Skip();
  }
}

void ReadRadixPrefix(Scanner& in, Reading& r) {
  if (r.currency || r.decimal || in.Peek() != '&') return;
  char kind = in.Peek(1);
  if (kind == 'H' || kind == 'h') {
    r.base = 16;
  } else if (kind == 'O' || kind == 'o') {
    r.base = 8;
  } else {
    return;
  }
  in.Skip(2);
}

void AddRadixDigit(Reading& r, int digit) {
  r.any_digit = true;
  if (r.radix < kRadixLimit)
    r.radix = r.radix * static_cast<uint64_t>(r.base) + static_cast<uint64_t>(digit);
  if (r.radix > kRadixLimit) r.radix = kRadixLimit;
}

void ReadExponentDigits(Scanner& in, Reading& r) {
  int value = 0;
  while (IsDigit(in.Peek())) {
    value = std::min(value * 10 + (in.Peek() - '0'), kExponentLimit);
    in.Skip();
  }
  r.number.exponent += r.exponent_negative ? -value : value;
  r.in_exponent = false;
}

// The digits with their separators and exponent; stops at the first character that cannot continue.
void ReadBody(Scanner& in, Reading& r) {
  const bool radix = r.base != 10;
  while (!in.AtEnd()) {
    char c = in.Peek();
    if (IsDigit(c) && r.in_exponent) {
      ReadExponentDigits(in, r);
      continue;
    }
    if (radix) {
      int digit = HexDigit(c);
      if (digit < 0 || digit >= r.base) return;
      AddRadixDigit(r, digit);
    } else if (IsDigit(c)) {
      r.any_digit = true;
      if (r.decimal) --r.number.exponent;
      if (c != '0' || !r.number.digits.empty()) r.number.digits.push_back(c);
    } else if (c == '.') {
      // thousands separator: ignored wherever it stands
    } else if (c == ',' && !r.decimal && !r.exponent_seen) {
      r.decimal = true;
    } else if ((c == 'e' || c == 'E') && !r.currency && !r.exponent_seen) {
      r.exponent_seen = r.in_exponent = true;
    } else if (c == '+' && r.in_exponent) {
      // an exponent's plus sign changes nothing
    } else if (c == '-' && r.in_exponent) {
      r.exponent_negative = true;
    } else {
      return;
    }
    in.Skip();
  }
}

// Blanks, separators, a sign, ")" and "€" after the number.
void ReadTrailingSymbols(Scanner& in, Reading& r) {
  const bool radix = r.base != 10;
  while (!in.AtEnd()) {
    char c = in.Peek();
    if (in.SkipBlanks()) continue;
    if (c == '.' && !radix) {
      in.Skip();
    } else if (c == '+' && !r.leading_plus) {
      in.Skip();
    } else if (c == '-' && !r.leading_minus) {
      r.number.negative = true;
      in.Skip();
    } else if (c == ')' && r.parentheses) {
      r.number.negative = true;
      in.Skip();
    } else if (radix || !in.Take(kEuro)) {
      return;
    }
  }
}

}  // namespace

std::optional<RegionalNumber> ParseRegionalNumber(std::string_view text) {
  Scanner in(text);
  Reading r;
  bool failed = false;
  ReadLeadingSymbols(in, r, failed);
  if (failed) return std::nullopt;
  ReadRadixPrefix(in, r);
  ReadBody(in, r);
  if (r.in_exponent) return std::nullopt;  // "E" without exponent digits
  ReadTrailingSymbols(in, r);
  if (r.parentheses && !r.number.negative) return std::nullopt;  // "(" never closed
  if (!in.AtEnd() || !r.any_digit) return std::nullopt;

  RegionalNumber& number = r.number;
  if (r.base != 10) {
    number.radix_value = r.radix;
    return number;
  }
  while (!number.digits.empty() && number.digits.back() == '0') {
    number.digits.pop_back();
    ++number.exponent;
  }
  return number;
}

std::optional<double> ToDouble(const RegionalNumber& number) {
  if (number.radix_value) {
    if (*number.radix_value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
      return std::nullopt;
    }
    return static_cast<double>(*number.radix_value);
  }
  if (number.digits.empty()) return number.negative ? -0.0 : 0.0;
  // Far beyond the double range either way: spare from_chars a needlessly long exponent.
  const long magnitude = static_cast<long>(number.digits.size()) + number.exponent;
  if (magnitude > 400) return std::nullopt;
  if (magnitude < -400) return number.negative ? -0.0 : 0.0;

  std::string text = number.digits;
  text += 'e';
  text += std::to_string(number.exponent);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (magnitude > 0) return std::nullopt;
    value = 0;  // too small for a double
  }
  return number.negative ? -value : value;
}

std::optional<int64_t> ToRoundedWhole(const RegionalNumber& number) {
  if (number.radix_value) {
    if (*number.radix_value >= kRadixLimit) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(*number.radix_value));
  }
  const std::string& digits = number.digits;
  const long size = static_cast<long>(digits.size());
  const long whole_digits = size + number.exponent;
  if (size == 0 || whole_digits < 0) return 0;  // below 0.1 in magnitude
  if (whole_digits > 19) return std::nullopt;

  const uint64_t limit =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (number.negative ? 1 : 0);
  uint64_t value = 0;
  for (long i = 0; i < whole_digits; ++i) {
    const uint64_t digit = i < size ? static_cast<uint64_t>(digits[i] - '0') : 0;
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (whole_digits < size) {
    const char first = digits[whole_digits];
    const bool more = whole_digits + 1 < size;  // digits has no trailing zeros
    if (first > '5' || (first == '5' && (more || value % 2 == 1))) {
      if (value == limit) return std::nullopt;
      ++value;
    }
  }
  if (!number.negative) return static_cast<int64_t>(value);
  return value == 0 ? 0 : -static_cast<int64_t>(value - 1) - 1;
}

namespace {

// Up to 15 digits with blanks around, the usual supplier code, read at once; nullopt for any other
// text. A double holds such a number exactly, as the general reading would give it.
std::optional<double> PlainDigits(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  const size_t first = at;
  uint64_t value = 0;
  while (at < text.size() && IsDigit(text[at])) value = value * 10 + (text[at++] - '0');
  const size_t digits = at - first;
  while (at < text.size() && text[at] == ' ') ++at;
  if (digits == 0 || digits > 15 || at != text.size()) return std::nullopt;
  return static_cast<double>(value);
}

}  // namespace

std::optional<double> NumericValue(std::string_view text) {
  if (std::optional<double> plain = PlainDigits(text)) return plain;
  std::optional<RegionalNumber> number = ParseRegionalNumber(text);
  if (!number) return std::nullopt;
  return ToDouble(*number);
}

}  // namespace catpub::publish
