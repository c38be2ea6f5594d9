// UTF-8, the program's text, and UTF-16, Windows' own, for the Windows side of the platform.
#pragma once

#include <string>
#include <string_view>

namespace catpub::platform {

std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace catpub::platform
