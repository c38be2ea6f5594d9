#include "db/reader/jet_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "platform/fatal_error.h"

namespace catpub::db::reader::jet {
namespace {

constexpr uint8_t kInlineValue = 0x80;
constexpr uint8_t kSinglePageValue = 0x40;
constexpr uint8_t kChainedValue = 0x00;

uint32_t U16(std::string_view bytes, size_t pos) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos])) |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos + 1])) << 8;
}

uint32_t U32(std::string_view bytes, size_t pos) {
  return U16(bytes, pos) | U16(bytes, pos + 2) << 16;
}

// Writes code point `c` as UTF-8 at `out`; returns the end.
char* PutCodePoint(uint32_t c, char* out) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Turns UTF-16 code units into UTF-8, pairing surrogates, into a buffer with room for three bytes
// per unit (a pair of units takes four).
class Utf16Writer {
 public:
  explicit Utf16Writer(char* out) : out_(out) {}

  void Unit(uint32_t unit) {
    if (unit < 0x80 && !high_) {
      *out_++ = static_cast<char>(unit);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF && high_) {
      out_ = PutCodePoint(0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00), out_);
      high_ = 0;
    } else {
      Flush();
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_ = unit;
      } else {
        out_ = PutCodePoint(unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit, out_);
      }
    }
  }

  // Units below U+0080, one per byte.
  void Ascii(const uint8_t* units, size_t count) {
    Flush();
    std::memcpy(out_, units, count);
    out_ += count;
  }

  // Ends the text (a lone high surrogate reads as U+FFFD); returns the end.
  char* Finish() {
    Flush();
    return out_;
  }

 private:
  void Flush() {
    if (high_) out_ = PutCodePoint(0xFFFD, out_);
    high_ = 0;
  }
  char* out_;
  uint32_t high_ = 0;
};

// The row a long value's page-and-row number points at.
std::string_view LongValueRow(uint32_t page_row, const PageReader& read_page) {
  uint32_t page = page_row >> 8;
  std::optional<std::string_view> bytes = read_page(page);
  if (!bytes || bytes->size() != kJetPageSize) {
    throw FatalError("la pagina Memo " + std::to_string(page) + " non si legge");
  }
  std::optional<std::string_view> row = PageRow(*bytes, page_row & 0xff);
  if (!row) {
    throw FatalError("i dati Memo alla pagina " + std::to_string(page) + " riga " +
                     std::to_string(page_row & 0xff) + " sono danneggiati");
  }
  return *row;
}

std::string ReadChain(uint32_t length, uint32_t page_row, const PageReader& read_page) {
  std::string value;
  std::unordered_set<uint32_t> visited;
  while (page_row != 0) {
    if (!visited.insert(page_row).second)
      throw FatalError("le pagine di un valore Memo formano un ciclo");
    std::string_view row = LongValueRow(page_row, read_page);
    if (row.size() <= 4) throw FatalError("un valore Memo ha una pagina vuota");
    page_row = U32(row, 0);
    std::string_view chunk = row.substr(4);
    if (value.size() + chunk.size() > length) {
      // The last page may hold more than the value; any earlier page may not.
      if (page_row != 0)
        throw FatalError("un valore Memo è più lungo di quanto dice la sua intestazione");
      chunk = chunk.substr(0, length - value.size());
    }
    value.append(chunk);
  }
  if (value.size() != length)
    throw FatalError("un valore Memo è più corto di quanto dice la sua intestazione");
  return value;
}

}  // namespace

void AppendTextAsUtf8(std::string_view stored, std::string& out) {
  const size_t old_size = out.size();
  out.resize(old_size + 3 * stored.size());
  Utf16Writer writer(out.data() + old_size);
  const auto* bytes = reinterpret_cast<const uint8_t*>(stored.data());
  const size_t size = stored.size();
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    bool compressed = true;
    size_t i = 2;
    while (i < size) {
      if (bytes[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        // Runs of ASCII, nearly all of a shop's texts, are copied as they stand.
        size_t end = i;
        while (end < size && bytes[end] != 0 && bytes[end] < 0x80) ++end;
        if (end > i) {
          writer.Ascii(bytes + i, end - i);
          i = end;
        } else {
          writer.Unit(bytes[i++]);
        }
      } else if (i + 1 < size) {
        writer.Unit(bytes[i] | uint32_t{bytes[i + 1]} << 8);
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < size; i += 2) writer.Unit(bytes[i] | uint32_t{bytes[i + 1]} << 8);
  }
  out.resize(static_cast<size_t>(writer.Finish() - out.data()));
}

std::optional<std::string_view> PageRow(std::string_view page, uint32_t row) {
  if (page.size() != kJetPageSize || static_cast<uint8_t>(page[0]) != kDataPage) {
    return std::nullopt;
  }
  uint32_t rows = U16(page, kRowCountOffset);
  size_t table_end = kRowOffsetsStart + 2 * size_t{rows};
  if (row >= rows || table_end > kJetPageSize) return std::nullopt;
  uint32_t start = U16(page, kRowOffsetsStart + 2 * row) & kOffsetMask;
  uint32_t end =
      row == 0 ? kJetPageSize : U16(page, kRowOffsetsStart + 2 * (row - 1)) & kOffsetMask;
  if (start < table_end || start > end || end > kJetPageSize) return std::nullopt;
  return page.substr(start, end - start);
}

std::optional<RowPlace> MovedRowPlace(std::string_view page, uint32_t row) {
  std::optional<std::string_view> pointer = PageRow(page, row);
  if (!pointer || pointer->size() < 4) return std::nullopt;
  const uint32_t place = U32(*pointer, 0);
  return RowPlace{place >> 8, place & 0xff};
}

std::string ReadLongValue(std::string_view field, const PageReader& read_page) {
  if (field.size() < kLongValueHeader)
    throw FatalError("un campo Memo è più corto della sua intestazione");
  uint32_t length = U32(field, 0) & 0xFFFFFF;
  auto kind = static_cast<uint8_t>(field[3]);
  uint32_t page_row = U32(field, 4);
  switch (kind) {
    case kInlineValue:
      if (length > field.size() - kLongValueHeader) {
        throw FatalError("un valore Memo nella riga è più lungo del suo campo");
      }
      return std::string(field.substr(kLongValueHeader, length));
    case kSinglePageValue: {
      std::string_view row = LongValueRow(page_row, read_page);
      if (length > row.size())
        throw FatalError("un valore Memo è più lungo della sua riga di pagina");
      return std::string(row.substr(0, length));
    }
    case kChainedValue:
      return ReadChain(length, page_row, read_page);
    default:
      throw FatalError("un campo Memo ha indicatori sconosciuti " + std::to_string(kind));
  }
}

double DecimalToDouble(std::string_view stored, int scale) {
  if (stored.size() < 17) return 0;
  long double magnitude = 0;
  for (size_t word = 0; word < 4; ++word) {
    magnitude = magnitude * 4294967296.0L + U32(stored, 1 + 4 * word);
  }
  magnitude /= std::pow(10.0L, scale);
  bool negative = static_cast<uint8_t>(stored[0]) & 0x80;
  return static_cast<double>(negative ? -magnitude : magnitude);
}

std::string GuidText(std::string_view stored) {
  if (stored.size() < 16) return {};
  auto b = [&stored](size_t i) { return static_cast<unsigned>(static_cast<uint8_t>(stored[i])); };
  char text[39];
  std::snprintf(text, sizeof(text),
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b(3),
                b(2), b(1), b(0), b(5), b(4), b(7), b(6), b(8), b(9), b(10), b(11), b(12), b(13),
                b(14), b(15));
  return text;
}

}  // namespace catpub::db::reader::jet
