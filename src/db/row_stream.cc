#include "db/row_stream.h"

#include <optional>

#include "db/row_codec.h"

namespace catpub::db {

using wire::DecodeEnd;
using wire::DecodeFailure;
using wire::DecodeFrameHeader;
using wire::DecodeHeader;
using wire::DecodeRowsCount;
using wire::Failure;
using wire::FailureKind;
using wire::FrameHeader;
using wire::FrameKind;
using wire::Header;
using wire::kFrameHeaderSize;
using wire::kRowsStart;

RowStream::Outcome RowStream::Start() {
  FrameKind kind;
  Outcome outcome = ReadFrame(kind);
  if (outcome != Outcome::kRow) return outcome;
  if (kind == FrameKind::kFailure) return Failed(frame_);
  if (kind != FrameKind::kHeader) return Malformed("il lettore non ha mandato l'intestazione");
  std::optional<Header> header = DecodeHeader(frame_);
  if (!header || header->columns.empty())
    return Malformed("il lettore ha mandato un'intestazione malformata");
  header_ = std::move(*header);
  pos_ = frame_.size();
  return Outcome::kRow;
}

RowStream::Outcome RowStream::NextRow(std::string_view& encoded) {
  if (done_) return last_;
  while (rows_in_frame_ == 0) {
    if (pos_ != frame_.size())
      return Malformed("il lettore ha mandato un blocco di righe con byte in più");
    FrameKind kind;
    Outcome outcome = ReadFrame(kind);
    if (outcome != Outcome::kRow) return outcome;
    if (kind == FrameKind::kFailure) return Failed(frame_);
    if (kind == FrameKind::kEnd) {
      std::optional<wire::End> end = DecodeEnd(frame_);
      if (!end || end->rows_sent != rows_received_)
        return Malformed("il lettore ha contato male le sue righe");
      deleted_rows_ = end->deleted_rows;
      done_ = true;
      return last_ = Outcome::kEnd;
    }
    if (kind != FrameKind::kRows)
      return Malformed("il lettore ha mandato una seconda intestazione");
    std::optional<uint32_t> count = DecodeRowsCount(frame_);
    if (!count) return Malformed("il lettore ha mandato un blocco di righe malformato");
    rows_in_frame_ = *count;
    pos_ = kRowsStart;
  }
  std::optional<size_t> size = EncodedRowSize(frame_, pos_, header_.columns.size());
  if (!size) return Malformed("il lettore ha mandato una riga malformata");
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
  if (!header) return Malformed("il lettore ha mandato un blocco malformato");
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
  if (!failure) return Malformed("il lettore ha mandato un errore malformato");
  problem_ = failure->message;
  done_ = true;
  return last_ =
             failure->kind == FailureKind::kTableNotFound ? Outcome::kNotFound : Outcome::kDamaged;
}

}  // namespace catpub::db
