#include "platform/windows_1252.h"

#include <iconv.h>

#include <new>

#include "platform/fatal_error.h"

namespace catpub::platform {
namespace {

// One conversion descriptor for the process; iconv keeps no state between calls for this pair.
iconv_t Converter() {
  static const iconv_t converter = [] {
    iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw FatalError("conversione del testo in Windows-1252 non disponibile (iconv)");
    }
    return cd;
  }();
  return converter;
}

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

// Appends the one character `sequence` (a SequenceLength) in Windows-1252, or "?".
void AppendByIconv(std::string_view sequence, std::string& out) {
  iconv_t cd = Converter();
  char* in = const_cast<char*>(sequence.data());
  size_t in_left = sequence.size();
  char converted[4];
  char* to = converted;
  size_t to_left = sizeof converted;
  const bool ok = iconv(cd, &in, &in_left, &to, &to_left) != static_cast<size_t>(-1) &&
                  in_left == 0 && to != converted;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (ok) {
    out.append(converted, static_cast<size_t>(to - converted));
  } else {
    out += '?';
  }
}

// AppendWindows1252 without its handling of a failed allocation.
void AppendConverted(std::string_view text, std::string& out) {
  // Nearly every character is ASCII or a Latin-1 letter (U+00A0 to U+00FF), whose Windows-1252
  // codes are their own numbers; iconv is asked only about the others.
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
    AppendByIconv(text.substr(at, length), out);
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
