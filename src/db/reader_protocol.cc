#include "db/reader_protocol.h"

#include <cstring>

#include "db/row_codec.h"

namespace catpub::db::wire {
namespace {

template <typename T>
void Put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <typename T>
std::optional<T> Get(std::string_view bytes, size_t& pos) {
  if (pos > bytes.size() || bytes.size() - pos < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + pos, sizeof(T));
  pos += sizeof(T);
  return value;
}

}  // namespace

void AppendFrame(std::string& out, FrameKind kind, std::string_view payload) {
  out.push_back(static_cast<char>(kind));
  Put(out, static_cast<uint32_t>(payload.size()));
  out.append(payload);
}

std::string EncodeHeader(const Header& header) {
  std::string out;
  Put(out, header.rows_stored);
  Put(out, static_cast<uint16_t>(header.columns.size()));
  for (const std::string& name : header.columns) {
    AppendVarint(out, name.size());
    out.append(name);
  }
  return out;
}

std::string EncodeEnd(const End& end) {
  std::string out;
  Put(out, end.rows_sent);
  Put(out, static_cast<uint64_t>(end.deleted_rows));
  return out;
}

std::string EncodeFailure(const Failure& failure) {
  std::string out;
  out.push_back(static_cast<char>(failure.kind));
  out.append(failure.message);
  return out;
}

void BeginRows(std::string& payload) {
  payload.clear();
  Put(payload, uint32_t{0});
}

void FinishRows(std::string& payload, uint32_t rows) { std::memcpy(payload.data(), &rows, 4); }

std::optional<Header> DecodeHeader(std::string_view payload) {
  size_t pos = 0;
  auto rows = Get<uint32_t>(payload, pos);
  auto count = Get<uint16_t>(payload, pos);
  if (!rows || !count) return std::nullopt;
  Header header;
  header.rows_stored = *rows;
  for (uint16_t i = 0; i < *count; ++i) {
    std::optional<uint64_t> length = ReadVarint(payload, pos);
    if (!length || *length > payload.size() - pos) return std::nullopt;
    header.columns.emplace_back(payload.substr(pos, *length));
    pos += *length;
  }
  if (pos != payload.size()) return std::nullopt;
  return header;
}

std::optional<End> DecodeEnd(std::string_view payload) {
  size_t pos = 0;
  auto rows = Get<uint64_t>(payload, pos);
  auto deleted = Get<uint64_t>(payload, pos);
  if (!rows || !deleted || pos != payload.size()) return std::nullopt;
  return End{*rows, static_cast<int64_t>(*deleted)};
}

std::optional<Failure> DecodeFailure(std::string_view payload) {
  if (payload.empty()) return std::nullopt;
  auto kind = static_cast<FailureKind>(payload[0]);
  if (kind != FailureKind::kTableNotFound && kind != FailureKind::kDamaged) return std::nullopt;
  return Failure{kind, std::string(payload.substr(1))};
}

std::optional<uint32_t> DecodeRowsCount(std::string_view payload) {
  size_t pos = 0;
  return Get<uint32_t>(payload, pos);
}

std::optional<FrameHeader> DecodeFrameHeader(std::string_view bytes) {
  if (bytes.size() != kFrameHeaderSize) return std::nullopt;
  auto kind = static_cast<FrameKind>(bytes[0]);
  if (kind != FrameKind::kHeader && kind != FrameKind::kRows && kind != FrameKind::kEnd &&
      kind != FrameKind::kFailure) {
    return std::nullopt;
  }
  size_t pos = 1;
  uint32_t length = *Get<uint32_t>(bytes, pos);
  if (length > kMaxFramePayload) return std::nullopt;
  return FrameHeader{kind, length};
}

}  // namespace catpub::db::wire
