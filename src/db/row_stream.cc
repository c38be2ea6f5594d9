#include "db/row_stream.h"

#include <optional>

#include "db/row_codec.h"

namespace catpub::db::reader {

RowStream::Outcome RowStream::Start() {
  FrameKind kind;
  Outcome outcome = ReadFrame(kind);
  if (outcome != Outcome::kRow) return outcome;
  if (kind == FrameKind::kFailure) return Failed(frame_);
  if (kind != FrameKind::kHeader) return Malformed("the reader sent no header");
  std::optional<Header> header = DecodeHeader(frame_);
  if (!header || header->columns.empty()) return Malformed("the reader sent a malformed header");
  header_ = std::move(*header);
  pos_ = frame_.size();
  return Outcome::kRow;
}

RowStream::Outcome RowStream::NextRow(std::string_view& encoded) {
  if (done_) return last_;
  while (rows_in_frame_ == 0) {
    if (pos_ != frame_.size()) return Malformed("the reader sent a row frame with extra bytes");
    FrameKind kind;
    Outcome outcome = ReadFrame(kind);
    if (outcome != Outcome::kRow) return outcome;
    if (kind == FrameKind::kFailure) return Failed(frame_);
    if (kind == FrameKind::kEnd) {
      std::optional<uint64_t> sent = DecodeEnd(frame_);
      if (!sent || *sent != rows_received_) return Malformed("the reader miscounted its rows");
      if (whole_table_ ? rows_received_ != header_.rows_stored
                       : rows_received_ > header_.rows_stored) {
        return Malformed("the reader sent " + std::to_string(rows_received_) + " rows of " +
                         std::to_string(header_.rows_stored));
      }
      done_ = true;
      return last_ = Outcome::kEnd;
    }
    if (kind != FrameKind::kRows) return Malformed("the reader sent a second header");
    std::optional<uint32_t> count = DecodeRowsCount(frame_);
    if (!count) return Malformed("the reader sent a malformed row frame");
    rows_in_frame_ = *count;
    pos_ = kRowsStart;
  }
  std::optional<size_t> size = EncodedRowSize(frame_, pos_, header_.columns.size());
  if (!size) return Malformed("the reader sent a malformed row");
  encoded = std::string_view(frame_).substr(pos_, *size);
  pos_ += *size;
  --rows_in_frame_;
  ++rows_received_;
  return Outcome::kRow;
}

RowStream::Outcome RowStream::ReadFrame(FrameKind& kind) {
  char bytes[kFrameHeaderSize];
  if (!source_.ReadFull(bytes, sizeof(bytes))) {
    done_ = true;
    return last_ = Outcome::kBroken;
  }
  std::optional<FrameHeader> header = DecodeFrameHeader(std::string_view(bytes, sizeof(bytes)));
  if (!header) return Malformed("the reader sent a malformed frame");
  frame_.resize(header->length);
  pos_ = 0;
  if (!source_.ReadFull(frame_.data(), frame_.size())) {
    done_ = true;
    return last_ = Outcome::kBroken;
  }
  kind = header->kind;
  return Outcome::kRow;
}

RowStream::Outcome RowStream::Malformed(const std::string& what) {
  problem_ = what;
  done_ = true;
  return last_ = Outcome::kMalformed;
}

RowStream::Outcome RowStream::Failed(std::string_view payload) {
  std::optional<Failure> failure = DecodeFailure(payload);
  if (!failure) return Malformed("the reader sent a malformed failure");
  problem_ = failure->message;
  done_ = true;
  return last_ =
             failure->kind == FailureKind::kTableNotFound ? Outcome::kNotFound : Outcome::kDamaged;
}

}  // namespace catpub::db::reader
