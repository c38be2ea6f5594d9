// A walk of a table in stored order that can read a few rows ahead of the current one, so that a
// caller can prepare for them. Rows read ahead are handed out by Next in their turn, and a failure
// met reading ahead is thrown by the Next that reaches it, as it would be without reading ahead.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "db/table_source.h"
#include "db/value.h"
#include "platform/fatal_error.h"

namespace catpub::db {

class ReadAhead {
 public:
  static constexpr size_t kMostAhead = 4;

  explicit ReadAhead(std::unique_ptr<RowCursor> cursor) : cursor_(std::move(cursor)) {}
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // As RowCursor::Next. The table is let go once its last row has been read.
  bool Next(std::vector<Value>& row);
  // The row `distance` rows after the one Next gave last (1 is the next one, at most kMostAhead);
  // nullptr past the last row, or once a row could not be read. Valid until the next call.
  const std::vector<Value>* Ahead(size_t distance);

 private:
  std::unique_ptr<RowCursor> cursor_;  // until its last row has been read
  // Rows read ahead, oldest first, in a ring whose rows keep their memory from use to use.
  std::array<std::vector<Value>, kMostAhead> ahead_;
  size_t first_ = 0;
  size_t count_ = 0;
  std::optional<FatalError> failure_;
};

}  // namespace catpub::db
