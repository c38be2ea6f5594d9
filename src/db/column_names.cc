#include "db/column_names.h"

#include "db/names.h"
#include "platform/fold_case.h"

namespace catpub::db {

ColumnNames::ColumnNames(const std::vector<std::string>& stored) : names_(stored) {
  for (const std::string& name : stored) folded_.push_back(platform::FoldCase(name));
}

std::optional<size_t> ColumnNames::Find(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (SameSpelling(names_[i], name)) return i;
  }
  for (size_t i = 0; i < folded_.size(); ++i) {
    if (MatchesFolded(name, folded_[i])) return i;
  }
  return std::nullopt;
}

}  // namespace catpub::db
