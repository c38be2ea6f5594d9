// The program's text (UTF-8) in the shop's single-byte code page, Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace catpub::platform {

// Appends `text` to `out` in Windows-1252. A character with no Windows-1252 form, or a byte that is
// not valid UTF-8, becomes "?", as Windows writes it.
void AppendWindows1252(std::string_view text, std::string& out);

}  // namespace catpub::platform
