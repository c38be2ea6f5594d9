// Case-insensitive comparison of names as Windows and Access make it: ASCII and Latin-1 letters
// fold to lower case ("SOCIETÀ" and "società" are the same name).
#pragma once

#include <string>
#include <string_view>

namespace catpub::platform {

// The text folded to lower case, UTF-8 in and out; other characters are kept as they are.
std::string FoldCase(std::string_view text);
// The folded form of the byte at `i` of `text`. Folding keeps the length of every character, so a
// text folds byte by byte, looking only at the byte before: comparisons need not build a copy.
char FoldedByte(std::string_view text, size_t i);
// The text in upper case (ASCII and Latin-1 letters; "ß" has no single capital and stays), as
// Windows upper-cases a path.
std::string UpperCase(std::string_view text);

}  // namespace catpub::platform
