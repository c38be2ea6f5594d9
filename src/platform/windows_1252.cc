#include "platform/windows_1252.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace catpub::platform {
namespace {

// One conversion descriptor for the process; iconv keeps no state between calls for this pair.
iconv_t Converter() {
  static const iconv_t converter = [] {
    iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error("iconv cannot convert UTF-8 to WINDOWS-1252");
    }
    return cd;
  }();
  return converter;
}

// Length of the well-formed UTF-8 sequence at the start of `text` (at least 1 byte), so that a
// character without a form is skipped whole and a broken byte alone.
size_t SequenceLength(const char* text, size_t left) {
  auto lead = static_cast<unsigned char>(text[0]);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xC2 && lead <= 0xDF ? 2 : 1;
  if (length > left) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

void AppendWindows1252(std::string_view text, std::string& out) {
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  out.append(text.substr(0, ascii));
  if (ascii == text.size()) return;

  iconv_t cd = Converter();
  char* in = const_cast<char*>(text.data()) + ascii;
  size_t in_left = text.size() - ascii;
  const size_t start = out.size();
  out.resize(start + in_left);  // never longer than the UTF-8 text
  char* to = out.data() + start;
  size_t to_left = in_left;
  while (in_left > 0) {
    if (iconv(cd, &in, &in_left, &to, &to_left) != static_cast<size_t>(-1)) break;
    // EILSEQ or EINVAL: one character without a form, or a broken sequence.
    size_t skip = SequenceLength(in, in_left);
    *to++ = '?';
    --to_left;
    in += skip;
    in_left -= skip;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(static_cast<size_t>(to - out.data()));
}

}  // namespace catpub::platform
