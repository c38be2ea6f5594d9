#include "db/names.h"

#include "platform/fold_case.h"

namespace catpub::db {

bool MatchesFolded(std::string_view name, std::string_view folded) {
  if (name.size() != folded.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (platform::FoldedByte(name, i) != folded[i]) return false;
  }
  return true;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (platform::FoldedByte(a, i) != platform::FoldedByte(b, i)) return false;
  }
  return true;
}

}  // namespace catpub::db
