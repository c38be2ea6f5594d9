// Converting a stored value to currency (a signed 64-bit count of ten-thousandths), as the shop's
// Windows converts a value assigned to a Currency variable. Prices and costs of the export pass
// through it.
#pragma once

#include "db/value.h"
#include "publish/converted.h"

namespace catpub::publish {

// - Byte, Integer, Long, Currency: exact; Yes/No: True is -1, False 0.
// - Single, Double, Date/Time: the exact binary value times 10000, rounded to the nearest whole
//   count, halves to the even neighbour. The double nearest 0.00005 lies just above it and gives
//   0,0001; the one nearest 2.00005 lies below and gives 2; 0.03125 is exact and gives 0,0312.
// - Text: read with the regional forms ("1,35"; see ParseRegionalNumber), taken to the nearest
//   double, then converted as a Double. A text that is no number is kNotANumber.
// - Null: kNull. Beyond ±922337203685477.5807, NaN or infinite: kOutOfRange.
Converted<db::Currency> ToCurrency(const db::Value& value);

}  // namespace catpub::publish
