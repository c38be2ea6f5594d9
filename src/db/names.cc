#include "db/names.h"

#include "platform/fold_case.h"

namespace catpub::db {

std::string FoldName(std::string_view name) { return platform::FoldCase(name); }

bool SameName(std::string_view a, std::string_view b) { return FoldName(a) == FoldName(b); }

}  // namespace catpub::db
