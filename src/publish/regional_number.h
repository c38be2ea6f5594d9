// Reading a text as a number the way the shop's Windows reads one when a program converts text to a
// number (CDbl, CLng, CCur, IsNumeric), with the Italian regional forms: "," decimal separator, "."
// thousands separator, "€" currency symbol. Used for numbers stored as text and for the supplier
// code of the export line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace catpub::publish {

struct RegionalNumber {
  bool negative = false;
  // The value is digits × 10^exponent; digits has neither leading nor trailing zeros, so zero is
  // "".
  std::string digits;
  int exponent = 0;
  // Set instead for "&H" (hexadecimal) and "&O" (octal) texts; saturates at 2^32.
  std::optional<uint64_t> radix_value;
};

// The number the whole text spells, or nullopt. Accepted, as Windows accepts them:
// - blanks around the number and between the signs in front of it (blank, tab, line ends, vertical
//   tab, form feed, non-breaking blank);
// - a "+" and/or "-" in front, or a "+" or "-" behind ("5-" is -5), or parentheses ("(5)" is -5);
// - the currency symbol "€" in front (once) or behind;
// - decimal digits with "." as thousands separator wherever it stands after the first digit
//   ("1.2.3" is 123, "12." is 12) but never before it (".5" is no number);
// - one "," as decimal separator, also before any digit (",5" is 0.5);
// - an exponent "E" or "e" with an optional sign and at least one digit ("5E" is no number);
// - instead of decimal digits, "&H" with hexadecimal or "&O" with octal digits.
// Any other character anywhere, or no digit at all (blanks only, ""), gives nullopt.
std::optional<RegionalNumber> ParseRegionalNumber(std::string_view text);

// The double nearest to the number; nullopt when it is beyond the range of a double. Hexadecimal
// and octal values above 2147483647 have no double form (Windows reports an overflow).
std::optional<double> ToDouble(const RegionalNumber& number);

// The number rounded to a whole number, halves to the even neighbour, decided on the decimal digits
// themselves ("2,5" gives 2, "2,50001" gives 3); nullopt beyond the 64-bit range. Hexadecimal and
// octal values of up to 32 bits read as 32-bit two's complement ("&HFFFFFFFF" is -1), without sign.
std::optional<int64_t> ToRoundedWhole(const RegionalNumber& number);

// IsNumeric followed by CDbl: the value when the whole text reads as a number that a double holds.
std::optional<double> NumericValue(std::string_view text);

}  // namespace catpub::publish
