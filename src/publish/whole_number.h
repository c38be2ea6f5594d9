// Converting a stored value to a 32-bit whole number, as the shop's Windows does for CLng. The
// export turns each barcode row's article code (codare) into the number of its price-list query
// with it.
#pragma once

#include <cstdint>

#include "db/value.h"
#include "publish/converted.h"

namespace catpub::publish {

// - Byte, Integer, Long: exact; Yes/No: True is -1, False 0.
// - Single, Double, Date/Time, Currency: rounded to the nearest whole number, halves to the even
//   neighbour (2.5 gives 2, 3.5 gives 4, -2.5 gives -2).
// - Text: read with the regional forms ("1234", " 1.234 ", "12,5"; see ParseRegionalNumber) and
//   rounded the same way on its decimal digits. A text that is no number is kNotANumber.
// - Null: kNull. A result outside -2147483648..2147483647, NaN or infinite: kOutOfRange.
Converted<int32_t> ToLong(const db::Value& value);

}  // namespace catpub::publish
