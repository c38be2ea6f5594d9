// The compact byte form of a row, used where rows travel (from the reader process) and where they
// rest in bulk (the first row per key of an indexed table). A row is its values one after the other;
// a value is a one-byte tag, the index of its alternative in db::Value, then its payload: nothing for
// Null, one byte for Yes/No and Byte, the little-endian bytes of the number for the other numeric
// types, and for text a LEB128 length followed by the UTF-8 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace catpub::db {

enum class ValueTag : uint8_t {
  kNull = 0,
  kBool,
  kByte,
  kInteger,
  kLong,
  kSingle,
  kDouble,
  kCurrency,
  kDateTime,
  kText,
};

// Appenders, one per column type, so that a reader can encode straight from stored bytes.
void AppendNull(std::string& out);
void AppendBool(std::string& out, bool value);
void AppendByte(std::string& out, uint8_t value);
void AppendInteger(std::string& out, int16_t value);
void AppendLong(std::string& out, int32_t value);
void AppendSingle(std::string& out, float value);
void AppendDouble(std::string& out, double value);
void AppendCurrency(std::string& out, int64_t ten_thousandths);
void AppendDateTime(std::string& out, double days);
void AppendText(std::string& out, std::string_view utf8);
void AppendValue(std::string& out, const Value& value);
void AppendRow(std::string& out, const std::vector<Value>& row);

// Appends `value` as LEB128 (seven bits a byte, low bits first).
void AppendVarint(std::string& out, uint64_t value);
// Reads a LEB128 number at `pos`, advancing it; nullopt when cut short or longer than 64 bits.
std::optional<uint64_t> ReadLongVarint(std::string_view bytes, size_t& pos);
inline std::optional<uint64_t> ReadVarint(std::string_view bytes, size_t& pos) {
  // Lengths of text are nearly always below 128: one byte.
  if (pos < bytes.size() && static_cast<uint8_t>(bytes[pos]) < 0x80) {
    return static_cast<uint8_t>(bytes[pos++]);
  }
  return ReadLongVarint(bytes, pos);
}

// The size of the value encoded at `pos`, checked against the end of `bytes`; nullopt when the tag
// is unknown or the value is cut short.
std::optional<size_t> EncodedValueSize(std::string_view bytes, size_t pos);
// The size of a row of `columns` values starting at `pos`; nullopt when any value is malformed.
std::optional<size_t> EncodedRowSize(std::string_view bytes, size_t pos, size_t columns);

// Decodes the well-formed value at `pos` (checked before with EncodedValueSize or EncodedRowSize)
// into `value`, reusing its text buffer, and advances `pos` past it.
void DecodeValue(std::string_view bytes, size_t& pos, Value& value);
// Decodes a well-formed row of row.size() values starting at `pos`.
void DecodeRow(std::string_view bytes, size_t pos, std::vector<Value>& row);

}  // namespace catpub::db
