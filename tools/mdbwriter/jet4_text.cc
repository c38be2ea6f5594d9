#include "mdbwriter/jet4_text.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace catpub::mdbwriter {
namespace {

std::string Hex(uint32_t code_point) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(code_point));
  return buffer;
}

[[noreturn]] void ThrowInvalid(size_t offset) {
  throw std::runtime_error("invalid UTF-8 at byte " + std::to_string(offset));
}

}  // namespace

std::u16string Utf8ToUcs2(std::string_view utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    // Sequence length, payload bits of the lead byte, smallest code point it may encode.
    size_t length = 1;
    uint32_t code_point = lead;
    uint32_t minimum = 0;
    if (lead >= 0x80) {
      if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code_point = lead & 0x1Fu;
        minimum = 0x80;
      } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code_point = lead & 0x0Fu;
        minimum = 0x800;
      } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code_point = lead & 0x07u;
        minimum = 0x10000;
      } else {
        ThrowInvalid(i);
      }
    }
    if (i + length > utf8.size()) ThrowInvalid(i);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) ThrowInvalid(i);
      code_point = (code_point << 6) | (next & 0x3Fu);
    }
    if (code_point < minimum || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      ThrowInvalid(i);
    }
    if (code_point > 0xFFFF) {
      throw std::runtime_error("character " + Hex(code_point) +
                               " is outside the Basic Multilingual Plane (UCS-2 cannot hold it)");
    }
    units.push_back(static_cast<char16_t>(code_point));
    i += length;
  }
  return units;
}

std::string EncodeJetText(const std::u16string& text) {
  std::string bytes;
  const bool starts_with_marker = !text.empty() && text.front() == u'\uFEFF';
  bytes.reserve(text.size() * 2 + (starts_with_marker ? 3 : 0));
  if (starts_with_marker) {
    // FF FE marks the compressed form; the 00 switches it to two-byte characters for the rest.
    bytes.append("\xFF\xFE\x00", 3);
  }
  for (char16_t unit : text) {
    if (starts_with_marker && (unit & 0xFF) == 0) {
      throw std::runtime_error("a text starting with U+FEFF cannot hold character " + Hex(unit));
    }
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace catpub::mdbwriter
