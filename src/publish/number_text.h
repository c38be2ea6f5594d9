// Numbers as text in the shop's regional forms: "," as decimal separator, no digit grouping, "-" in
// front of negative values. These are the forms Windows gives a number that a program turns into
// text (CStr, or joining it to a text), as the export line does.
#pragma once

#include <cstdint>
#include <string>

#include "db/value.h"

namespace catpub::publish {

// Significant digits of the text of a Double and of a Single.
inline constexpr int kDoubleDigits = 15;
inline constexpr int kSingleDigits = 7;

// A whole number in decimal digits: "-12", "0".
void AppendWholeText(int64_t value, std::string& out);

// A floating-point value rounded to `digits` significant digits, trailing zeros dropped, "," before
// a fractional part and no "," after a whole number. Plain digits while the rounded value is at
// least 1E-4 and below 10^digits; exponent form otherwise, the exponent with its sign and at least
// two digits: "1E+15", "1,5E-05", "-2,5E+20". Negative zero is "0". Infinities are "1,#INF" and
// "-1,#INF", NaN "-1,#IND" (sign set) or "1,#QNAN", as Windows writes them.
void AppendRealText(double value, int digits, std::string& out);

// A currency value: whole digits, then "," and at most four decimals only when there is a fraction,
// without trailing zeros: 2.50 is "2,5", 12 is "12", 0.125 is "0,125", -0.0001 is "-0,0001", 0 is
// "0". Every value, the most negative included, has a text.
void AppendCurrencyText(db::Currency value, std::string& out);

}  // namespace catpub::publish
