#include "db/names.h"

namespace catpub::db {
namespace {

// The folded form of the byte at `i`. Folding keeps the length of every character, so a name folds
// byte by byte, looking only at the byte before.
char FoldedByte(std::string_view name, size_t i) {
  auto c = static_cast<unsigned char>(name[i]);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + ('a' - 'A'));
  // U+00C0..U+00DE are the capitals of U+00E0..U+00FE, but for U+00D7 (multiplication sign).
  if (i > 0 && static_cast<unsigned char>(name[i - 1]) == 0xC3 && c >= 0x80 && c <= 0x9E &&
      c != 0x97) {
    return static_cast<char>(c + 0x20);
  }
  return static_cast<char>(c);
}

}  // namespace

std::string FoldName(std::string_view name) {
  std::string folded(name.size(), '\0');
  for (size_t i = 0; i < name.size(); ++i) folded[i] = FoldedByte(name, i);
  return folded;
}

bool MatchesFolded(std::string_view name, std::string_view folded) {
  if (name.size() != folded.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (FoldedByte(name, i) != folded[i]) return false;
  }
  return true;
}

bool SameName(std::string_view a, std::string_view b) { return FoldName(a) == FoldName(b); }

}  // namespace catpub::db
