// Table and column names compare as Access compares them: without regard to case, accented letters
// included ("SOCIETÀ" names the table società). They fold as platform::FoldCase folds, as the file
// system's names do.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace catpub::db {

// True when the two names fold to the same text; nothing is built to compare them.
bool SameName(std::string_view a, std::string_view b);
// True when platform::FoldCase(name) == folded, without building the folded name (column lookups
// run per row, against names folded once).
bool MatchesFolded(std::string_view name, std::string_view folded);

// Byte for byte the same: a name spelled as stored, the usual case, is found without folding. Names
// are short, and compared a dozen times a row, so they are compared a word at a time here rather
// than by a call to memcmp.
inline bool SameSpelling(std::string_view a, std::string_view b) {
  const size_t size = a.size();
  if (size != b.size()) return false;
  // Two loads from each, the second ending at the last byte (overlapping the first if shorter).
  auto same = [&a, &b, size](auto word) {
    decltype(word) a_head, b_head, a_tail, b_tail;
    std::memcpy(&a_head, a.data(), sizeof word);
    std::memcpy(&b_head, b.data(), sizeof word);
    std::memcpy(&a_tail, a.data() + size - sizeof word, sizeof word);
    std::memcpy(&b_tail, b.data() + size - sizeof word, sizeof word);
    return a_head == b_head && a_tail == b_tail;
  };
  if (size > 16) return std::memcmp(a.data(), b.data(), size) == 0;
  if (size >= 8) return same(uint64_t{});
  if (size >= 4) return same(uint32_t{});
  for (size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace catpub::db
