#include "db/reader/frame_writer.h"

#include <utility>

namespace catpub::db::reader {
namespace {

using wire::AppendFrame;
using wire::BeginRows;
using wire::EncodeEnd;
using wire::EncodeFailure;
using wire::EncodeHeader;
using wire::Failure;
using wire::FinishRows;
using wire::FrameKind;
using wire::Header;
using wire::kRowBatchBytes;

constexpr auto kFlushInterval = std::chrono::milliseconds(200);
// The clock is looked at once every so many rows.
constexpr uint32_t kRowsBetweenClockChecks = 64;

}  // namespace

FrameWriter::FrameWriter(std::function<void(std::string_view)> emit, platform::SteadyNow now)
    : emit_(std::move(emit)), now_(std::move(now)), last_flush_(now_()) {
  BeginRows(rows_);
}

void FrameWriter::Begin(uint32_t rows_stored, const std::vector<std::string>& columns) {
  frame_.clear();
  AppendFrame(frame_, FrameKind::kHeader, EncodeHeader(Header{rows_stored, columns}));
  emit_(frame_);
  last_flush_ = now_();
}

void FrameWriter::Row(std::string_view encoded) {
  rows_.append(encoded);
  ++batched_;
  if (rows_.size() >= kRowBatchBytes) return FlushRows();
  if (batched_ % kRowsBetweenClockChecks == 0 && now_() - last_flush_ >= kFlushInterval) {
    FlushRows();
  }
}

void FrameWriter::End(int64_t deleted_rows) {
  FlushRows();
  frame_.clear();
  AppendFrame(frame_, FrameKind::kEnd, EncodeEnd(wire::End{sent_, deleted_rows}));
  emit_(frame_);
}

void FrameWriter::Fail(wire::FailureKind kind, const std::string& message) {
  FlushRows();
  frame_.clear();
  AppendFrame(frame_, FrameKind::kFailure, EncodeFailure(Failure{kind, message}));
  emit_(frame_);
}

void FrameWriter::FlushRows() {
  last_flush_ = now_();
  if (batched_ == 0) return;
  FinishRows(rows_, batched_);
  frame_.clear();
  AppendFrame(frame_, FrameKind::kRows, rows_);
  emit_(frame_);
  sent_ += batched_;
  batched_ = 0;
  BeginRows(rows_);
}

}  // namespace catpub::db::reader
