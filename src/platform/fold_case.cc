#include "platform/fold_case.h"

namespace catpub::platform {

char FoldedByte(std::string_view text, size_t i) {
  auto c = static_cast<unsigned char>(text[i]);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + ('a' - 'A'));
  // U+00C0..U+00DE are the capitals of U+00E0..U+00FE, but for U+00D7 (multiplication sign).
  if (i > 0 && static_cast<unsigned char>(text[i - 1]) == 0xC3 && c >= 0x80 && c <= 0x9E &&
      c != 0x97) {
    return static_cast<char>(c + 0x20);
  }
  return static_cast<char>(c);
}

std::string FoldCase(std::string_view text) {
  std::string folded(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) folded[i] = FoldedByte(text, i);
  return folded;
}

std::string UpperCase(std::string_view text) {
  std::string upper;
  upper.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 'a' && c <= 'z') {
      upper += static_cast<char>(c - ('a' - 'A'));
    } else if (c == 0xC3 && i + 1 < text.size()) {
      auto next = static_cast<unsigned char>(text[i + 1]);
      if (next == 0xBF) {  // ÿ becomes U+0178, outside Latin-1
        upper += "\xC5\xB8";
        ++i;
        continue;
      }
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) next -= 0x20;
      upper += static_cast<char>(c);
      upper += static_cast<char>(next);
      ++i;
    } else {
      upper += static_cast<char>(c);
    }
  }
  return upper;
}

}  // namespace catpub::platform
