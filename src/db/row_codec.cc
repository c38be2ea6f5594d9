#include "db/row_codec.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace catpub::db {
namespace {

static_assert(std::endian::native == std::endian::little, "rows are encoded little-endian");

// The encoded tag of each alternative is its index in Value.
template <ValueTag tag>
using Alternative = std::variant_alternative_t<static_cast<size_t>(tag), Value>;
static_assert(std::is_same_v<Alternative<ValueTag::kByte>, uint8_t>);
static_assert(std::is_same_v<Alternative<ValueTag::kCurrency>, Currency>);
static_assert(std::is_same_v<Alternative<ValueTag::kText>, std::string>);

template <typename T>
void AppendTagged(std::string& out, ValueTag tag, T value) {
  char bytes[1 + sizeof(T)];
  bytes[0] = static_cast<char>(tag);
  std::memcpy(bytes + 1, &value, sizeof(T));
  out.append(bytes, sizeof(bytes));
}

template <typename T>
T Load(std::string_view bytes, size_t pos) {
  T value;
  std::memcpy(&value, bytes.data() + pos, sizeof(T));
  return value;
}

// Payload size of a fixed-size tag; nullopt for text and unknown tags.
std::optional<size_t> FixedPayload(uint8_t tag) {
  switch (static_cast<ValueTag>(tag)) {
    case ValueTag::kNull:
      return 0;
    case ValueTag::kBool:
    case ValueTag::kByte:
      return 1;
    case ValueTag::kInteger:
      return 2;
    case ValueTag::kLong:
    case ValueTag::kSingle:
      return 4;
    case ValueTag::kDouble:
    case ValueTag::kCurrency:
    case ValueTag::kDateTime:
      return 8;
    case ValueTag::kText:
      break;
  }
  return std::nullopt;
}

}  // namespace

void AppendNull(std::string& out) { out.push_back(static_cast<char>(ValueTag::kNull)); }
void AppendBool(std::string& out, bool value) {
  AppendTagged(out, ValueTag::kBool, static_cast<uint8_t>(value ? 1 : 0));
}
void AppendByte(std::string& out, uint8_t value) { AppendTagged(out, ValueTag::kByte, value); }
void AppendInteger(std::string& out, int16_t value) {
  AppendTagged(out, ValueTag::kInteger, value);
}
void AppendLong(std::string& out, int32_t value) { AppendTagged(out, ValueTag::kLong, value); }
void AppendSingle(std::string& out, float value) { AppendTagged(out, ValueTag::kSingle, value); }
void AppendDouble(std::string& out, double value) { AppendTagged(out, ValueTag::kDouble, value); }
void AppendCurrency(std::string& out, int64_t ten_thousandths) {
  AppendTagged(out, ValueTag::kCurrency, ten_thousandths);
}
void AppendDateTime(std::string& out, double days) {
  AppendTagged(out, ValueTag::kDateTime, days);
}
void AppendText(std::string& out, std::string_view utf8) {
  out.push_back(static_cast<char>(ValueTag::kText));
  AppendVarint(out, utf8.size());
  out.append(utf8);
}

void AppendValue(std::string& out, const Value& value) {
  struct Visitor {
    std::string& out;
    void operator()(std::monostate) const { AppendNull(out); }
    void operator()(bool v) const { AppendBool(out, v); }
    void operator()(uint8_t v) const { AppendByte(out, v); }
    void operator()(int16_t v) const { AppendInteger(out, v); }
    void operator()(int32_t v) const { AppendLong(out, v); }
    void operator()(float v) const { AppendSingle(out, v); }
    void operator()(double v) const { AppendDouble(out, v); }
    void operator()(Currency v) const { AppendCurrency(out, v.ten_thousandths); }
    void operator()(DateTime v) const { AppendDateTime(out, v.days); }
    void operator()(const std::string& v) const { AppendText(out, v); }
  };
  std::visit(Visitor{out}, value);
}

void AppendRow(std::string& out, const std::vector<Value>& row) {
  for (const Value& value : row) AppendValue(out, value);
}

void AppendVarint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7f) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

std::optional<uint64_t> ReadLongVarint(std::string_view bytes, size_t& pos) {
  uint64_t value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (pos >= bytes.size()) return std::nullopt;
    auto byte = static_cast<uint8_t>(bytes[pos++]);
    if (shift == 63 && byte > 1) return std::nullopt;
    value |= uint64_t{byte & 0x7fu} << shift;
    if (!(byte & 0x80)) return value;
  }
  return std::nullopt;
}

std::optional<size_t> EncodedValueSize(std::string_view bytes, size_t pos) {
  if (pos >= bytes.size()) return std::nullopt;
  auto tag = static_cast<uint8_t>(bytes[pos]);
  size_t available = bytes.size() - pos - 1;
  if (std::optional<size_t> payload = FixedPayload(tag)) {
    if (*payload > available) return std::nullopt;
    return 1 + *payload;
  }
  if (tag != static_cast<uint8_t>(ValueTag::kText)) return std::nullopt;
  size_t after_tag = pos + 1;
  std::optional<uint64_t> length = ReadVarint(bytes, after_tag);
  if (!length || *length > bytes.size() - after_tag) return std::nullopt;
  return after_tag - pos + *length;
}

std::optional<size_t> EncodedRowSize(std::string_view bytes, size_t pos, size_t columns) {
  size_t end = pos;
  for (size_t i = 0; i < columns; ++i) {
    std::optional<size_t> size = EncodedValueSize(bytes, end);
    if (!size) return std::nullopt;
    end += *size;
  }
  return end - pos;
}

void DecodeValue(std::string_view bytes, size_t& pos, Value& value) {
  auto tag = static_cast<ValueTag>(bytes[pos++]);
  switch (tag) {
    case ValueTag::kNull:
      value = std::monostate{};
      return;
    case ValueTag::kBool:
      value = bytes[pos++] != 0;
      return;
    case ValueTag::kByte:
      value = static_cast<uint8_t>(bytes[pos++]);
      return;
    case ValueTag::kInteger:
      value = Load<int16_t>(bytes, pos);
      pos += 2;
      return;
    case ValueTag::kLong:
      value = Load<int32_t>(bytes, pos);
      pos += 4;
      return;
    case ValueTag::kSingle:
      value = Load<float>(bytes, pos);
      pos += 4;
      return;
    case ValueTag::kDouble:
      value = Load<double>(bytes, pos);
      pos += 8;
      return;
    case ValueTag::kCurrency:
      value = Currency{Load<int64_t>(bytes, pos)};
      pos += 8;
      return;
    case ValueTag::kDateTime:
      value = DateTime{Load<double>(bytes, pos)};
      pos += 8;
      return;
    case ValueTag::kText: {
      auto length = static_cast<size_t>(*ReadVarint(bytes, pos));
      std::string_view text = bytes.substr(pos, length);
      pos += length;
      if (auto* existing = std::get_if<std::string>(&value)) {
        existing->assign(text);
      } else {
        value.emplace<std::string>(text);
      }
      return;
    }
  }
}

void DecodeRow(std::string_view bytes, size_t pos, std::vector<Value>& row) {
  for (Value& value : row) DecodeValue(bytes, pos, value);
}

}  // namespace catpub::db
