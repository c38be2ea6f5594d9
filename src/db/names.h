// Table and column names compare as Access compares them: without regard to case, accented letters
// included ("SOCIETÀ" names the table società).
#pragma once

#include <string>
#include <string_view>

namespace catpub::db {

// The name folded to lower case (ASCII and Latin-1 letters), UTF-8 in and out.
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);
// True when FoldName(name) == folded, without building the folded name (column lookups run per row).
bool MatchesFolded(std::string_view name, std::string_view folded);

}  // namespace catpub::db
