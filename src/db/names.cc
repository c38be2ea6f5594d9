#include "db/names.h"

namespace catpub::db {

std::string FoldName(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c >= 'A' && c <= 'Z') {
      folded += static_cast<char>(c + ('a' - 'A'));
    } else if (c == 0xC3 && i + 1 < name.size()) {
      // U+00C0..U+00DE are the capitals of U+00E0..U+00FE, but for U+00D7 (multiplication sign).
      auto next = static_cast<unsigned char>(name[i + 1]);
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

bool SameName(std::string_view a, std::string_view b) { return FoldName(a) == FoldName(b); }

}  // namespace catpub::db
