#include "platform/windows_1252.h"

#include <gtest/gtest.h>

namespace catpub::platform {
namespace {

std::string Convert(std::string_view text) {
  std::string out;
  AppendWindows1252(text, out);
  return out;
}

TEST(Windows1252Test, ConvertsEachCharacterOrWritesAQuestionMark) {
  struct Case {
    std::string_view utf8;
    std::string_view expected;
  };
  const Case cases[] = {
      {"LATTE ; 1,35", "LATTE ; 1,35"},
      {"àèéìòù", "\xE0\xE8\xE9\xEC\xF2\xF9"},
      {"società", "societ\xE0"},
      {"€ 2,50", "\x80 2,50"},
      {"“x” – ™", "\x93x\x94 \x96 \x99"},
      {"ÿ", "\xFF"},
      {"\u00A0x\u00BF", "\xA0x\xBF"},               // the ends of the Latin-1 letters and signs
      {"\u0085\u009F", "??"},                       // C1 controls: not in the code page
      {"\u0081\u008D\u008F\u0090\u009D", "?????"},  // nor are those of its five unused bytes
      {"\u0152\u0153\u0160\u0161\u0178\u017D\u017E\u0192\u02C6\u02DC",
       "\x8C\x9C\x8A\x9A\x9F\x8E\x9E\x83\x88\x98"},
      {"\u201A\u201E\u2026\u2020\u2021\u2030\u2039\u203A\u2018\u2019\u2022\u2014",
       "\x82\x84\x85\x86\x87\x89\x8B\x9B\x91\x92\x95\x97"},
      {"\xE0\x85\x92|\xC1\xA9", "?|??"},  // a longer form than needed is no character
      {"\xC3\xA9\xE2\x82\xAC"
       "a\xC3",
       "\xE9\x80"
       "a?"},
      {"Ελλάδα", "??????"},
      {"日本 ok", "?? ok"},
      {"𝄞x", "?x"},         // outside the basic plane: one character, one "?"
      {"a\xC3(b", "a?(b"},  // a broken sequence loses only its broken byte
      {"\xFF\xFE", "??"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.utf8), c.expected) << c.utf8;
}

TEST(Windows1252Test, AppendsToWhatIsThere) {
  std::string out = "x";
  AppendWindows1252("è", out);
  AppendWindows1252("y", out);
  EXPECT_EQ(out, "x\xE8y");
}

}  // namespace
}  // namespace catpub::platform
