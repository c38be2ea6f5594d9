// Text as Jet 4 stores it: UCS-2 little-endian, for names and for Text and Memo values.
#pragma once

#include <string>
#include <string_view>

namespace catpub::mdbwriter {

// Decodes UTF-8 into UCS-2 code units. Throws std::runtime_error for invalid UTF-8 and for a
// character outside the Basic Multilingual Plane (UCS-2 has no room for it).
std::u16string Utf8ToUcs2(std::string_view utf8);

// The stored bytes of a value: plain UCS-2 little-endian. A text starting with U+FEFF would read
// back as the compressed form's FF FE marker, so it is stored in the compressed form instead (the
// marker, then a switch to two-byte characters); that form cannot hold a character whose low byte
// is zero, and such a text is refused (std::runtime_error).
std::string EncodeJetText(const std::u16string& text);

}  // namespace catpub::mdbwriter
