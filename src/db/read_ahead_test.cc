#include "db/read_ahead.h"

#include <gtest/gtest.h>

#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

using testing::InMemoryTables;
using testing::MemoryTable;

constexpr char kData[] = "C:\\ORBIS\\DATI.MDB";

MemoryTable Numbers(int32_t count) {
  MemoryTable table{{"codare"}, {}};
  for (int32_t i = 1; i <= count; ++i) table.rows.push_back({i});
  return table;
}

int32_t CodeOf(const std::vector<Value>* row) { return row ? std::get<int32_t>((*row)[0]) : -1; }

TEST(ReadAheadTest, ReadingAheadLeavesTheWalkAsItWas) {
  InMemoryTables tables;
  tables.Put(kData, "codean", Numbers(8));
  ReadAhead walk(tables.OpenTable(kData, "codean"));
  std::vector<Value> row;
  ASSERT_TRUE(walk.Next(row));
  EXPECT_EQ(CodeOf(walk.Ahead(2)), 3);
  EXPECT_EQ(walk.Ahead(0), nullptr);
  EXPECT_EQ(walk.Ahead(ReadAhead::kMostAhead + 1), nullptr);
  std::vector<int32_t> walked = {std::get<int32_t>(row[0])};
  while (walk.Next(row)) {
    walked.push_back(std::get<int32_t>(row[0]));
    for (size_t distance = 1; distance <= ReadAhead::kMostAhead; ++distance) {
      const int32_t expected = walked.back() + static_cast<int32_t>(distance);
      EXPECT_EQ(CodeOf(walk.Ahead(distance)), expected > 8 ? -1 : expected) << distance;
    }
  }
  EXPECT_EQ(walked, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(walk.Ahead(1), nullptr);
  EXPECT_FALSE(walk.Next(row));
}

TEST(ReadAheadTest, AFailureReadingAheadIsReportedWhenTheWalkReachesIt) {
  InMemoryTables tables;
  MemoryTable damaged = Numbers(3);
  damaged.damaged_row = 2;
  tables.Put(kData, "codean", damaged);
  ReadAhead walk(tables.OpenTable(kData, "codean"));
  std::vector<Value> row;
  ASSERT_TRUE(walk.Next(row));
  EXPECT_EQ(walk.Ahead(3), nullptr);
  EXPECT_EQ(CodeOf(walk.Ahead(1)), 2);
  ASSERT_TRUE(walk.Next(row));
  EXPECT_EQ(std::get<int32_t>(row[0]), 2);
  try {
    walk.Next(row);
    ADD_FAILURE() << "the damaged row was not reported";
  } catch (const FatalError& error) {
    EXPECT_STREQ(error.what(), "riga danneggiata 2");
  }
}

}  // namespace
}  // namespace catpub::db
