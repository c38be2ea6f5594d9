#include "db/first_row_index.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace catpub::db {
namespace {

TEST(FirstRowIndexTest, FirstRowOfEachKeyWins) {
  FirstRowIndex index;
  index.Insert(7, "first");
  index.Insert(-3, "negative");
  index.Insert(7, "second");
  index.Finish();
  EXPECT_EQ(index.size(), 2u);
  EXPECT_EQ(index.Find(7), "first");
  EXPECT_EQ(index.Find(-3), "negative");
  EXPECT_FALSE(index.Find(8));
}

TEST(FirstRowIndexTest, EmptyIndexFindsNothing) {
  FirstRowIndex index;
  index.Finish();
  index.PrefetchFor(0, FirstRowIndex::Prefetch::kRow);
  EXPECT_FALSE(index.Find(0));
}

// A table indexed in two parts: the earlier part's row wins for a key both have.
TEST(FirstRowIndexTest, AbsorbingALaterPartKeepsTheFirstRowOfEachKey) {
  FirstRowIndex earlier, later, empty;
  earlier.Insert(1, "earlier one");
  earlier.Insert(2, "earlier two");
  later.Insert(2, "later two");
  later.Insert(3, "later three");
  later.Insert(3, "later three again");
  later.Insert(int64_t{1} << 40, "later wide");
  for (int32_t key = 100; key < 5000; ++key) later.Insert(key, std::string(key % 300, 'x'));
  earlier.Finish();
  later.Finish();
  empty.Finish();
  earlier.Absorb(std::move(later));
  earlier.Absorb(std::move(empty));
  EXPECT_EQ(earlier.size(), 4u + 4900u);
  EXPECT_EQ(earlier.Find(1), "earlier one");
  EXPECT_EQ(earlier.Find(2), "earlier two");
  EXPECT_EQ(earlier.Find(3), "later three");
  EXPECT_EQ(earlier.Find(int64_t{1} << 40), "later wide");
  for (int32_t key = 100; key < 5000; ++key) {
    ASSERT_EQ(earlier.Find(key), std::string(key % 300, 'x')) << key;
  }

  FirstRowIndex nothing_yet;
  nothing_yet.Finish();
  nothing_yet.Absorb(std::move(earlier));
  EXPECT_EQ(nothing_yet.Find(2), "earlier two");
  EXPECT_EQ(nothing_yet.size(), 4u + 4900u);
}

TEST(FirstRowIndexTest, PrefetchingIsOnlyAHint) {
  FirstRowIndex index;
  index.Insert(7, "seven");
  index.Insert(int64_t{1} << 40, "wide");
  index.Finish();
  for (int64_t key : {int64_t{7}, int64_t{8}, int64_t{1} << 40, int64_t{-1}}) {
    index.PrefetchFor(key, FirstRowIndex::Prefetch::kSlot);
    index.PrefetchFor(key, FirstRowIndex::Prefetch::kRow);
  }
  EXPECT_EQ(index.Find(7), "seven");
  EXPECT_EQ(index.Find(int64_t{1} << 40), "wide");
  EXPECT_FALSE(index.Find(8));
}

// Keys that share their low bits, extremes, and duplicates several rows apart, in numbers that
// make the table grow many times; rows of every size, some larger than a block (and than the block
// made ready ahead). The slots are sized first by a row count that is missing, right, too small
// or absurd, as a damaged file may give it.
class FirstRowIndexReserveTest : public testing::TestWithParam<uint64_t> {};

INSTANTIATE_TEST_SUITE_P(RowCounts, FirstRowIndexReserveTest,
                         testing::Values(0, 120002, 100, uint64_t{1} << 40));

TEST_P(FirstRowIndexReserveTest, ManyAwkwardKeysAndRowSizes) {
  std::vector<int64_t> keys;
  for (int64_t i = 0; i < 60000; ++i) keys.push_back(i << 20);
  for (int64_t i = 0; i < 60000; ++i) keys.push_back(-i * 1000003);
  keys.push_back(std::numeric_limits<int64_t>::min());
  keys.push_back(std::numeric_limits<int64_t>::max());
  auto row_of = [](size_t i) {
    size_t size = i % 1000 == 0 ? 5'000'000 : i % 300;
    return std::to_string(i) + std::string(size, 'r');
  };
  FirstRowIndex index;
  index.Reserve(GetParam());
  for (size_t i = 0; i < keys.size(); ++i) {
    index.Insert(keys[i], row_of(i));
    if (i % 5 == 0) index.Insert(keys[i], "duplicate");
  }
  index.Finish();
  size_t distinct = keys.size() - 1;  // 0 << 20 and -0 * 1000003 are one key
  EXPECT_EQ(index.size(), distinct);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i == 60000) continue;  // the second 0
    ASSERT_EQ(index.Find(keys[i]), row_of(i)) << i;
  }
}

}  // namespace
}  // namespace catpub::db
