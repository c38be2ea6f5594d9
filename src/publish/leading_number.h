// The leading number of a text, read as Visual Basic's Val reads it. The export uses it to test
// whether a barcode row is excluded (the value of colare reading as 5).
#pragma once

#include <string_view>

namespace catpub::publish {

// Never fails. Blanks, tabs and line feeds are skipped wherever they stand ("5 0" reads 50); then
// an optional sign, digits with "." as the only decimal point, and an optional exponent ("E" or
// "D", either case, optional sign, digits: "5E1" reads 50, a bare "5E" reads 5). Reading stops at
// the first character that cannot continue the number; no number at all reads 0 ("", "A5", ",5").
// "&H" and "&O" start a hexadecimal or octal whole number; one of up to 16 bits reads as a 16-bit
// two's complement ("&HFFFF" is -1), up to 32 bits as a 32-bit one, a longer one as it stands.
// A number beyond the double range reads as an infinity (Val itself would stop the program).
double LeadingNumber(std::string_view text);

}  // namespace catpub::publish
