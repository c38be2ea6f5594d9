// Both ends of the pipe between the reader process and its parent: what FrameWriter sends,
// RowStream gets back, and nothing RowStream is sent makes it read out of bounds or allocate
// without limit.
#include "db/row_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "db/reader/frame_writer.h"
#include "db/row_codec.h"

namespace catpub::db {
namespace {

using Outcome = RowStream::Outcome;
using reader::FrameWriter;
using wire::FailureKind;
using wire::kFrameHeaderSize;

class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string bytes) : bytes_(std::move(bytes)) {}
  bool ReadFull(char* buffer, size_t size) override {
    if (bytes_.size() - pos_ < size) return false;
    std::memcpy(buffer, bytes_.data() + pos_, size);
    pos_ += size;
    return true;
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

// 100 letters, a to z by `i`.
std::string Letters(int i) { return std::string(100, static_cast<char>('a' + i % 26)); }

std::string Row(int32_t code, const std::string& text) {
  std::string row;
  AppendLong(row, code);
  AppendText(row, text);
  return row;
}

// What the reader sends for `rows` rows of (code, text), ending as `end` says.
std::string Sent(int rows, const std::function<void(FrameWriter&)>& end) {
  std::string bytes;
  FrameWriter writer([&bytes](std::string_view frame) { bytes.append(frame); });
  writer.Begin(static_cast<uint32_t>(rows), {"codart", "desart"});
  for (int i = 0; i < rows; ++i) writer.Row(Row(i, Letters(i)));
  end(writer);
  return bytes;
}

std::string Complete(int rows) {
  return Sent(rows, [](FrameWriter& writer) { writer.End(0); });
}

// Reads the whole stream: the outcome that ended it and the rows before.
Outcome Drain(const std::string& bytes, std::vector<std::string>* rows = nullptr) {
  StringSource source(bytes);
  RowStream stream(source);
  Outcome outcome = stream.Start();
  if (outcome != Outcome::kRow) return outcome;
  std::string_view row;
  while ((outcome = stream.NextRow(row)) == Outcome::kRow) {
    if (rows) rows->emplace_back(row);
  }
  return outcome;
}

TEST(RowStreamTest, RowsComeBackInOrderAcrossManyFrames) {
  // 20,000 rows of about 110 bytes: two megabytes, so several row frames.
  std::vector<std::string> rows;
  EXPECT_EQ(Drain(Complete(20000), &rows), Outcome::kEnd);
  ASSERT_EQ(rows.size(), 20000u);
  EXPECT_EQ(rows[0], Row(0, Letters(0)));
  EXPECT_EQ(rows[19999], Row(19999, Letters(19999)));
}

TEST(RowStreamTest, HeaderGivesColumnsAndStoredCount) {
  StringSource source(Complete(3));
  RowStream stream(source);
  ASSERT_EQ(stream.Start(), Outcome::kRow);
  EXPECT_EQ(stream.header().columns, (std::vector<std::string>{"codart", "desart"}));
  EXPECT_EQ(stream.header().rows_stored, 3u);
}

TEST(RowStreamTest, FailuresArriveWithTheirMessage) {
  std::string not_found;
  FrameWriter writer([&not_found](std::string_view frame) { not_found.append(frame); });
  writer.Fail(FailureKind::kTableNotFound, "");
  EXPECT_EQ(Drain(not_found), Outcome::kNotFound);

  StringSource source(Sent(5, [](FrameWriter& w) { w.Fail(FailureKind::kDamaged, "page 7"); }));
  RowStream stream(source);
  ASSERT_EQ(stream.Start(), Outcome::kRow);
  std::string_view row;
  int rows = 0;
  Outcome outcome;
  while ((outcome = stream.NextRow(row)) == Outcome::kRow) ++rows;
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(outcome, Outcome::kDamaged);
  EXPECT_EQ(stream.problem(), "page 7");
  EXPECT_EQ(stream.NextRow(row), Outcome::kDamaged);  // and stays so
}

TEST(RowStreamTest, StreamCutAnywhereIsBrokenOrMalformedNeverARow) {
  const std::string bytes = Complete(3);
  for (size_t size = 0; size < bytes.size(); ++size) {
    std::vector<std::string> rows;
    Outcome outcome = Drain(bytes.substr(0, size), &rows);
    EXPECT_TRUE(outcome == Outcome::kBroken || outcome == Outcome::kMalformed) << size;
    EXPECT_LE(rows.size(), 3u);
  }
}

TEST(RowStreamTest, TheEndMustCountTheRowsSentAndCarriesTheDeletedRows) {
  // The end frame counts 4 rows, 3 came.
  std::string miscounted = Sent(3, [](FrameWriter& w) { w.End(0); });
  miscounted[miscounted.size() - 16] = 4;
  EXPECT_EQ(Drain(miscounted), Outcome::kMalformed);
  // A part's share of the deleted rows may be below zero.
  for (int64_t deleted : {int64_t{-2}, int64_t{0}, int64_t{1} << 40}) {
    StringSource source(Sent(3, [deleted](FrameWriter& w) { w.End(deleted); }));
    RowStream stream(source);
    ASSERT_EQ(stream.Start(), Outcome::kRow);
    std::string_view row;
    while (stream.NextRow(row) == Outcome::kRow) {
    }
    EXPECT_EQ(stream.deleted_rows(), deleted);
  }
  // The header promises 4 rows and 3 come, counted right: whether they are all the table holds is
  // for the table's reader to judge, over all its parts.
  std::string fewer = Sent(3, [](FrameWriter& w) { w.End(0); });
  fewer[kFrameHeaderSize] = 4;
  EXPECT_EQ(Drain(fewer), Outcome::kEnd);
}

// While rows come, they go out at least every 200 ms however few they are, so that the parent's
// watchdog sees progress on a slow file. The clock is looked at every 64 rows.
TEST(RowStreamTest, RowsGoOutAtLeastEvery200Milliseconds) {
  std::chrono::steady_clock::time_point now;
  std::string kinds;  // of the frames sent, in order
  FrameWriter writer([&kinds](std::string_view frame) { kinds += frame[0]; },
                     [&now] { return now; });
  writer.Begin(1000, {"codart", "desart"});
  auto rows = [&writer](int count) {
    for (int i = 0; i < count; ++i) writer.Row(Row(i, Letters(i)));
  };
  rows(128);
  now += std::chrono::milliseconds(199);
  rows(64);
  EXPECT_EQ(kinds, "H");
  now += std::chrono::milliseconds(1);
  rows(63);
  EXPECT_EQ(kinds, "H") << "the clock is looked at only every 64 rows";
  rows(1);
  EXPECT_EQ(kinds, "HR");
  // The 200 ms count again from that frame.
  now += std::chrono::milliseconds(199);
  rows(64);
  EXPECT_EQ(kinds, "HR");
  now += std::chrono::milliseconds(1);
  rows(64);
  EXPECT_EQ(kinds, "HRR");
  writer.End(0);
  EXPECT_EQ(kinds, "HRRE");
}

TEST(RowStreamTest, OversizedFramesAreRefusedBeforeAllocating) {
  std::string bytes("R\xff\xff\xff\xff", kFrameHeaderSize);
  EXPECT_EQ(Drain(bytes), Outcome::kMalformed);
}

TEST(RowStreamTest, FlippedBytesNeverCrash) {
  const std::string bytes = Complete(50);
  std::mt19937 random(3);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string damaged = bytes;
    for (int flips = 0; flips < 3; ++flips) {
      damaged[random() % damaged.size()] ^= static_cast<char>(1 << (random() % 8));
    }
    std::vector<std::string> rows;
    Drain(damaged, &rows);
    for (const std::string& row : rows) EXPECT_TRUE(EncodedRowSize(row, 0, 2));
  }
}

}  // namespace
}  // namespace catpub::db
