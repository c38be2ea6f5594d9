// The program's text is UTF-8 on every system; a path is made from it and read back as UTF-8
// explicitly. On Windows a path built from a plain char string goes through the C library's
// locale (byte by byte on msvcrt), which would spoil a name such as C:\Negozi\Città.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace catpub::platform {

// The path that the UTF-8 text `text` names.
inline std::filesystem::path Utf8Path(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The path's text in UTF-8.
inline std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace catpub::platform
