// What the reader process sends its parent over a pipe: a stream of frames, each a one-byte kind, a
// four-byte little-endian payload length and the payload. A successful read is one header frame,
// any number of row frames and one end frame; a failed one ends with a failure frame instead
// (possibly after some rows). Rows are encoded as db/row_codec.h says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace catpub::db::wire {

// Payloads: a header holds the u32 count of rows stored, the u16 count of columns, then each
// column's name (LEB128 length, UTF-8); rows, a u32 count then the encoded rows; the end, the u64
// count of rows sent in all and the i64 count of deleted rows (End); a failure, a FailureKind byte
// then a UTF-8 message.
enum class FrameKind : uint8_t {
  kHeader = 'H',
  kRows = 'R',
  kEnd = 'E',
  kFailure = 'F',
};

enum class FailureKind : uint8_t {
  kTableNotFound = 1,  // the database has no table of that name
  kDamaged = 2,        // the file is damaged or cannot be read
};

// The reader's command line: --memory-limit-mb=N [--part=K/COUNT] FILE TABLE.
inline constexpr std::string_view kMemoryLimitFlag = "--memory-limit-mb=";
inline constexpr std::string_view kPartFlag = "--part=";

inline constexpr size_t kFrameHeaderSize = 5;
// Frames never exceed this: row frames are cut at about kRowBatchBytes, and a single row (a long
// Memo included) is far smaller. The parent refuses anything larger before allocating for it.
inline constexpr size_t kMaxFramePayload = size_t{64} << 20;
inline constexpr size_t kRowBatchBytes = size_t{1} << 20;

struct Header {
  uint32_t rows_stored = 0;
  std::vector<std::string> columns;
};

// The end of a table's rows, or of one part's.
struct End {
  uint64_t rows_sent = 0;
  // The slots of the part's pages that hold no row of their own (rows deleted, and the data of
  // moved rows), less those of the moved rows' data that the part reached. Summed over all the
  // parts of a table: the deleted rows its pages still hold. A part's share is negative when its
  // moved rows' data lies on another part's pages.
  int64_t deleted_rows = 0;
};

struct Failure {
  FailureKind kind = FailureKind::kDamaged;
  std::string message;
};

// Appends a frame of `kind` with `payload` to `out`.
void AppendFrame(std::string& out, FrameKind kind, std::string_view payload);
std::string EncodeHeader(const Header& header);
std::string EncodeEnd(const End& end);
std::string EncodeFailure(const Failure& failure);
// Rows frames are built in place: reserve the count, append rows, then fill it in.
void BeginRows(std::string& payload);
void FinishRows(std::string& payload, uint32_t rows);

// Parsers of the payloads; nullopt when malformed.
std::optional<Header> DecodeHeader(std::string_view payload);
std::optional<End> DecodeEnd(std::string_view payload);
std::optional<Failure> DecodeFailure(std::string_view payload);
// The row count of a rows frame; the rows start at kRowsStart.
std::optional<uint32_t> DecodeRowsCount(std::string_view payload);
inline constexpr size_t kRowsStart = 4;

// The kind and payload length of a frame header of kFrameHeaderSize bytes; nullopt for an unknown
// kind or a length above kMaxFramePayload.
struct FrameHeader {
  FrameKind kind;
  size_t length;
};
std::optional<FrameHeader> DecodeFrameHeader(std::string_view bytes);

}  // namespace catpub::db::wire
