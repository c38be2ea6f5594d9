// The parent's side of the pipe: parses the reader's frames (db/reader_protocol.h) into a table's
// columns and rows, trusting nothing it receives: every frame and row is checked before use, and
// the end frame must count the rows that came. Whether they are as many as the table stores is not
// judged here: a stream may bring one part of a table, and the parts add up to the table
// (db/mdb_table_source.cc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/reader_protocol.h"

namespace catpub::db {

// Where the frames come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills `buffer` with the next `size` bytes; false when the bytes end (or stop coming) first.
  virtual bool ReadFull(char* buffer, size_t size) = 0;
};

class RowStream {
 public:
  enum class Outcome {
    kRow,        // NextRow gave a row
    kEnd,        // all rows were given, as many as the reader counted it sent
    kNotFound,   // the reader found no such table
    kDamaged,    // the reader found the file damaged; problem() says how
    kBroken,     // the bytes ended early; the reader died or stalled
    kMalformed,  // the bytes are not what the reader sends; problem() says what
  };

  explicit RowStream(ByteSource& source) : source_(source) {}
  RowStream(const RowStream&) = delete;
  RowStream& operator=(const RowStream&) = delete;

  // Reads the header: kRow when it came (columns() is then set), else why not.
  Outcome Start();
  // The next row, encoded as db/row_codec.h says, valid until the next call; kRow, or kEnd after
  // the last one, or why the stream stopped.
  Outcome NextRow(std::string_view& encoded);

  const wire::Header& header() const { return header_; }
  const std::string& problem() const { return problem_; }
  uint64_t rows_received() const { return rows_received_; }
  // Once NextRow gave kEnd: the stream's share of the table's deleted rows (wire::End).
  int64_t deleted_rows() const { return deleted_rows_; }

 private:
  // Reads the next frame into frame_; kRow when it came.
  Outcome ReadFrame(wire::FrameKind& kind);
  Outcome Malformed(const std::string& what);
  Outcome Failed(std::string_view payload);

  ByteSource& source_;
  wire::Header header_;
  std::string frame_;
  size_t pos_ = 0;
  uint32_t rows_in_frame_ = 0;
  uint64_t rows_received_ = 0;
  int64_t deleted_rows_ = 0;
  bool done_ = false;
  Outcome last_ = Outcome::kRow;
  std::string problem_;
};

}  // namespace catpub::db
