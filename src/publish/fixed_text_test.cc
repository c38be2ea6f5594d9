#include "publish/fixed_text.h"

#include <gtest/gtest.h>

namespace catpub::publish {
namespace {

struct Case {
  size_t width;
  const char* text;
  const char* field;
};

TEST(FixedTextTest, PadsAndCutsOnTheRightByCharacters) {
  const Case cases[] = {
      {13, "8001234567890", "8001234567890"},
      {13, "80012345", "80012345     "},
      {13, "80012345678901", "8001234567890"},
      {13, "", "             "},
      {2, "4", "4 "},
      {2, "22", "22"},
      {6, "CAFF\xC3\x88", "CAFF\xC3\x88 "},                 // "CAFFÈ": 5 characters, 6 bytes
      {5, "CAFF\xC3\x88", "CAFF\xC3\x88"},                  // more bytes than width, not cut
      {2, "\xC3\x88\xC3\x88\xC3\x88", "\xC3\x88\xC3\x88"},  // cut between characters
      {3,
       "a\xE2\x82\xAC"
       "bc",
       "a\xE2\x82\xAC"
       "b"},
  };
  for (const Case& c : cases) {
    FixedText field(c.width);
    field.Assign(c.text);
    EXPECT_EQ(field.view(), c.field) << "\"" << c.text << "\" in " << c.width;
  }
}

TEST(FixedTextTest, FirstCharactersEndBetweenCharacters) {
  const Case cases[] = {
      {3, "abcd", "abc"},
      {3, "abc", "abc"},
      {3, "ab", "ab"},
      {0, "abc", ""},
      {2, "\xC3\x88\xC3\x88\xC3\x88", "\xC3\x88\xC3\x88"},  // "ÈÈÈ"
      {1, "\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC"},      // "€€"
      {4, "PI\xC3\x99", "PI\xC3\x99"},                      // fewer characters than bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FirstCharacters(c.text, c.width), c.field) << "\"" << c.text << "\" " << c.width;
  }
}

TEST(FixedTextTest, ReusedFieldKeepsNothingOfTheLongerValueBefore) {
  FixedText field(16);
  EXPECT_EQ(field.view(), "                ");
  field.Assign("12345678901234567890");
  field.Assign("ABC");
  EXPECT_EQ(field.view(), "ABC             ");
  field.Clear();
  EXPECT_EQ(field.view(), "                ");
}

}  // namespace
}  // namespace catpub::publish
