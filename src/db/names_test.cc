#include "db/names.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fold_case.h"

namespace catpub::db {
namespace {

TEST(NamesTest, SameSpellingComparesEveryByteAtEveryLength) {
  for (size_t size = 0; size <= 20; ++size) {
    const std::string name(size, 'c');
    EXPECT_TRUE(SameSpelling(name, std::string(size, 'c'))) << size;
    EXPECT_FALSE(SameSpelling(name, std::string(size + 1, 'c'))) << size;
    for (size_t at = 0; at < size; ++at) {
      std::string other = name;
      other[at] = 'C';
      EXPECT_FALSE(SameSpelling(name, other)) << size << " " << at;
    }
  }
}

TEST(NamesTest, FoldAsciiAndAccentedCapitals) {
  EXPECT_TRUE(SameName("società", "SOCIETÀ"));
  EXPECT_TRUE(SameName("CodArt", "codart"));
  EXPECT_FALSE(SameName("societa", "società"));
  EXPECT_EQ(platform::FoldCase("×"), "×");  // U+00D7 has no lower case
  for (const char* name : {"società", "SOCIETÀ", "Società", "CODART", "codart", "×", "ÿ", ""}) {
    EXPECT_TRUE(MatchesFolded(name, platform::FoldCase("società")) == SameName(name, "società"))
        << name;
    EXPECT_TRUE(MatchesFolded(name, platform::FoldCase(name))) << name;
  }
  EXPECT_FALSE(MatchesFolded("codar", platform::FoldCase("codart")));
}

}  // namespace
}  // namespace catpub::db
