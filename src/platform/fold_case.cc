#include "platform/fold_case.h"

namespace catpub::platform {

std::string FoldCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z') {
      folded += static_cast<char>(c + ('a' - 'A'));
    } else if (c == 0xC3 && i + 1 < text.size()) {
      // U+00C0..U+00DE are the capitals of U+00E0..U+00FE, but for U+00D7 (multiplication sign).
      auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) next += 0x20;
      folded += static_cast<char>(c);
      folded += static_cast<char>(next);
      ++i;
    } else {
      folded += static_cast<char>(c);
    }
  }
  return folded;
}

}  // namespace catpub::platform
