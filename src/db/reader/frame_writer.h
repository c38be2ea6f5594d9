// The reader process's side of the pipe: turns a table read by ReadMdbTable into the frames of
// db/reader_protocol.h. Rows are sent in batches of about a megabyte, and at least every 200 ms
// while rows come, so the parent's watchdog sees steady progress on slow files.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/reader/mdb_table_reader.h"
#include "db/reader_protocol.h"
#include "platform/steady_time.h"

namespace catpub::db::reader {

class FrameWriter : public TableSink {
 public:
  // `emit` gets the bytes to send, a frame or more at a time; the 200 ms are measured by `now`.
  explicit FrameWriter(std::function<void(std::string_view)> emit,
                       platform::SteadyNow now = std::chrono::steady_clock::now);
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  void Begin(uint32_t rows_stored, const std::vector<std::string>& columns) override;
  void Row(std::string_view encoded) override;
  // Sends the rows still batched, then the end frame.
  void End(int64_t deleted_rows) override;
  // Sends the rows still batched, then a failure frame.
  void Fail(wire::FailureKind kind, const std::string& message);

 private:
  void FlushRows();

  std::function<void(std::string_view)> emit_;
  std::string rows_;  // payload of the rows frame being built
  uint32_t batched_ = 0;
  uint64_t sent_ = 0;
  platform::SteadyNow now_;
  platform::SteadyTime last_flush_;
  std::string frame_;
};

}  // namespace catpub::db::reader
