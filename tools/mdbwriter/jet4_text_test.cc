#include "mdbwriter/jet4_text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace catpub::mdbwriter {
namespace {

TEST(Utf8ToUcs2, DecodesEveryCharacterOfTheBasicPlane) {
  EXPECT_EQ(Utf8ToUcs2(""), u"");
  EXPECT_EQ(Utf8ToUcs2("società"), u"società");
  EXPECT_EQ(Utf8ToUcs2("Ελληνικά 日本 €"), u"Ελληνικά 日本 €");
  EXPECT_EQ(Utf8ToUcs2(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(Utf8ToUcs2("\xEF\xBF\xBF\xEF\xBB\xBF"), u"\uFFFF\uFEFF");
}

TEST(Utf8ToUcs2, RefusesInvalidUtf8AndCharactersBeyondTheBasicPlane) {
  const struct {
    const char* text;
    const char* message;
  } kCases[] = {
      {"\xC3", "invalid UTF-8 at byte 0"},              // cut short
      {"ab\xC0\xAF", "invalid UTF-8 at byte 2"},        // overlong '/'
      {"\xE0\x80\xAF", "invalid UTF-8 at byte 0"},      // overlong, three bytes
      {"\xED\xA0\x80", "invalid UTF-8 at byte 0"},      // a surrogate
      {"\xFF", "invalid UTF-8 at byte 0"},              // never a lead byte
      {"\x80", "invalid UTF-8 at byte 0"},              // continuation without lead
      {"\xC3\x28", "invalid UTF-8 at byte 0"},          // lead without continuation
      {"\xF4\x90\x80\x80", "invalid UTF-8 at byte 0"},  // beyond U+10FFFF
      {"x\xF0\x9F\x98\x80", "character U+1F600 is outside the Basic Multilingual Plane"},
  };
  for (const auto& c : kCases) {
    try {
      Utf8ToUcs2(c.text);
      ADD_FAILURE() << "accepted " << c.message;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

TEST(EncodeJetText, StoresPlainUcs2LittleEndian) {
  EXPECT_EQ(EncodeJetText(u""), "");
  EXPECT_EQ(EncodeJetText(u"Aà€"), std::string("A\0\xE0\0\xAC\x20", 6));
}

TEST(EncodeJetText, StoresATextStartingWithFeffInTheCompressedForm) {
  // Marker, switch to two-byte characters, then the characters themselves.
  EXPECT_EQ(EncodeJetText(u"\uFEFF"), std::string("\xFF\xFE\0\xFF\xFE", 5));
  EXPECT_EQ(EncodeJetText(u"\uFEFFA"), std::string("\xFF\xFE\0\xFF\xFE\x41\0", 7));
  // Its low byte would read as a switch: no form holds U+0100 after U+FEFF.
  EXPECT_THROW(EncodeJetText(u"\uFEFF\u0100"), std::runtime_error);
  EXPECT_EQ(EncodeJetText(u"A\uFEFF"), std::string("A\0\xFF\xFE", 4));
}

}  // namespace
}  // namespace catpub::mdbwriter
