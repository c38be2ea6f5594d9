#include "publish/leading_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

namespace catpub::publish {
namespace {

bool Ignored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text's characters with the ignored ones left out.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) { SkipIgnored(); }
  char Peek() { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void Next() {
    ++pos_;
    SkipIgnored();
  }

 private:
  void SkipIgnored() {
    while (pos_ < text_.size() && Ignored(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  size_t pos_ = 0;
};

int DigitIn(char c, int base) {
  int digit = -1;
  if (IsDigit(c)) digit = c - '0';
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  return digit < base ? digit : -1;
}

double RadixNumber(Reader& in, int base) {
  constexpr uint64_t kCap = uint64_t{1} << 60;
  uint64_t value = 0;
  for (int digit; (digit = DigitIn(in.Peek(), base)) >= 0; in.Next()) {
    if (value < kCap) value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (value <= 0xFFFF) return static_cast<int16_t>(static_cast<uint16_t>(value));
  if (value <= 0xFFFFFFFF) return static_cast<int32_t>(static_cast<uint32_t>(value));
  return static_cast<double>(value);
}

void CopyDigits(Reader& in, std::string& out) {
  for (; IsDigit(in.Peek()); in.Next()) out.push_back(in.Peek());
}

}  // namespace

double LeadingNumber(std::string_view text) {
  Reader in(text);
  if (in.Peek() == '&') {
    in.Next();
    char kind = in.Peek();
    if (kind == 'H' || kind == 'h' || kind == 'O' || kind == 'o') {
      in.Next();
      return RadixNumber(in, kind == 'H' || kind == 'h' ? 16 : 8);
    }
    return 0;
  }
  // The number rewritten for from_chars: [-]digits[.digits][e[-]digits].
  std::string number;
  if (in.Peek() == '-' || in.Peek() == '+') {
    if (in.Peek() == '-') number.push_back('-');
    in.Next();
  }
  const size_t mantissa_start = number.size();
  CopyDigits(in, number);
  if (in.Peek() == '.') {
    number.push_back('.');
    in.Next();
    CopyDigits(in, number);
  }
  const size_t mantissa_digits = number.size() - mantissa_start;
  if (mantissa_digits == 0 || (mantissa_digits == 1 && number.back() == '.')) return 0;

  char mark = in.Peek();
  if (mark == 'E' || mark == 'e' || mark == 'D' || mark == 'd') {
    in.Next();
    std::string exponent = "e";
    if (in.Peek() == '-' || in.Peek() == '+') {
      if (in.Peek() == '-') exponent.push_back('-');
      in.Next();
    }
    const size_t before = exponent.size();
    CopyDigits(in, exponent);
    if (exponent.size() > before) number += exponent;
  }

  double value = 0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; tell overflow from underflow by the exponent's sign.
    const bool tiny = number.find("e-") != std::string::npos;
    const bool negative = number.front() == '-';
    value = tiny ? 0.0 : HUGE_VAL;
    if (negative) value = -value;
  }
  return value;
}

}  // namespace catpub::publish
