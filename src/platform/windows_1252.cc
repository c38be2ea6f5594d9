#include "platform/windows_1252.h"

#include <cstdint>
#include <new>

#include "platform/fatal_error.h"

namespace catpub::platform {
namespace {

// Windows-1252's bytes 0x80 to 0x9F, the only ones that are not their own Unicode numbers; 0 where
// the code page has no character (0x81, 0x8D, 0x8F, 0x90, 0x9D). A table of our own rather than
// the system's converter: iconv is not on Windows, and Windows' own converter would write the C1
// controls U+0081 and the like as bytes, where glibc's writes "?"; so the export is the same on
// both.
constexpr char16_t kHighBytes[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 0x98
};

// Length of the well-formed UTF-8 sequence at the start of `text` (at least 1 byte), so that a
// character without a form is skipped whole and a broken byte alone.
size_t SequenceLength(const char* text, size_t left) {
  auto lead = static_cast<unsigned char>(text[0]);
  size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                                                 : 1;
  if (length > left) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// The character that the sequence (a SequenceLength of 2 or more) encodes; 0 for one in a longer
// form than it needs, which is no character.
uint32_t CodeOf(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  uint32_t code = lead & (0x7F >> sequence.size());
  for (size_t i = 1; i < sequence.size(); ++i) {
    code = (code << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
  }
  constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  return code < kShortest[sequence.size()] ? 0 : code;
}

// Appends the one character `sequence` (a SequenceLength) in Windows-1252, or "?".
void AppendByTable(std::string_view sequence, std::string& out) {
  const uint32_t code = sequence.size() > 1 ? CodeOf(sequence) : 0;
  for (size_t i = 0; code != 0 && i < std::size(kHighBytes); ++i) {
    if (kHighBytes[i] == code) {
      out += static_cast<char>(0x80 + i);
      return;
    }
  }
  out += '?';
}

// AppendWindows1252 without its handling of a failed allocation.
void AppendConverted(std::string_view text, std::string& out) {
  // Nearly every character is ASCII or a Latin-1 letter (U+00A0 to U+00FF), whose Windows-1252
  // codes are their own numbers; the table is looked up only for the others.
  size_t at = 0;
  while (at < text.size()) {
    size_t plain = at;
    while (plain < text.size() && static_cast<unsigned char>(text[plain]) < 0x80) ++plain;
    out.append(text.substr(at, plain - at));
    at = plain;
    if (at == text.size()) break;
    const size_t length = SequenceLength(text.data() + at, text.size() - at);
    const auto lead = static_cast<unsigned char>(text[at]);
    if (length == 2 && (lead == 0xC2 || lead == 0xC3)) {
      const auto code = static_cast<unsigned>(((lead & 0x1F) << 6) |
                                              (static_cast<unsigned char>(text[at + 1]) & 0x3F));
      if (code >= 0xA0) {
        out += static_cast<char>(code);
        at += 2;
        continue;
      }
    }
    AppendByTable(text.substr(at, length), out);
    at += length;
  }
}

}  // namespace

void AppendWindows1252(std::string_view text, std::string& out) {
  try {
    AppendConverted(text, out);
  } catch (const std::bad_alloc&) {
    throw FatalError("memoria esaurita nella conversione del testo in Windows-1252");
  }
}

}  // namespace catpub::platform
