// A table's column names, found as the engine finds them (db/names.h): the names as stored and
// folded once, so that a lookup spelled as stored, the usual case, costs no folding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace catpub::db {

class ColumnNames {
 public:
  explicit ColumnNames(const std::vector<std::string>& stored);

  // The position of the column named `name`; nothing when the table has none.
  std::optional<size_t> Find(std::string_view name) const;
  size_t size() const { return names_.size(); }

 private:
  std::vector<std::string> names_;
  std::vector<std::string> folded_;
};

}  // namespace catpub::db
