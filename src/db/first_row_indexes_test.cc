#include "db/first_row_indexes.h"

#include <gtest/gtest.h>

#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

using testing::InMemoryTables;
using testing::MemoryTable;

MemoryTable PriceList(const std::string& description) {
  return MemoryTable{{"codart", "desart"}, {{int32_t{7}, description}}};
}

TEST(FirstRowIndexesTest, OneIndexForEverySpellingOfTheSameQuery) {
  InMemoryTables tables;
  tables.Put("C:\\ORBIS\\DATI.MDB", "listi01", PriceList("seven"));
  FirstRowIndexes indexes(tables);
  EXPECT_EQ(indexes.last(), nullptr);
  const IndexedTable& first = indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "codart");
  EXPECT_EQ(&indexes.For("c:\\orbis\\dati.mdb", "LISTI01", "CodArt"), &first);
  EXPECT_EQ(&indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "codart"), &first);
  EXPECT_EQ(indexes.last(), &first);
  EXPECT_EQ(tables.opened().size(), 1u);
  EXPECT_EQ(first.first_rows.size(), 1u);
}

TEST(FirstRowIndexesTest, AnotherDatabaseOrColumnHasAnIndexOfItsOwn) {
  InMemoryTables tables;
  tables.Put("C:\\ORBIS\\DATI.MDB", "listi01", PriceList("seven"));
  tables.Put("D:\\COPIA.MDB", "listi01", PriceList("copy"));
  FirstRowIndexes indexes(tables);
  const IndexedTable& data = indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "codart");
  const IndexedTable& copy = indexes.For("D:\\COPIA.MDB", "listi01", "codart");
  EXPECT_NE(&copy, &data);
  EXPECT_NE(*copy.first_rows.Find(7), *data.first_rows.Find(7));
  EXPECT_NE(&indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "desart"), &data);
  EXPECT_EQ(&indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "codart"), &data);
  EXPECT_EQ(tables.opened().size(), 3u);
}

TEST(FirstRowIndexesTest, ForgetReadsTheTableAgain) {
  InMemoryTables tables;
  tables.Put("C:\\ORBIS\\DATI.MDB", "listi01", PriceList("old"));
  FirstRowIndexes indexes(tables);
  indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "codart");
  tables.Put("C:\\ORBIS\\DATI.MDB", "listi01", PriceList("new"));
  indexes.Forget();
  EXPECT_EQ(indexes.last(), nullptr);
  const IndexedTable& index = indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "codart");
  EXPECT_EQ(tables.opened().size(), 2u);
  EXPECT_NE(index.first_rows.Find(7)->find("new"), std::string_view::npos);
}

TEST(FirstRowIndexesTest, AMissingColumnIsNamed) {
  InMemoryTables tables;
  tables.Put("C:\\ORBIS\\DATI.MDB", "listi01", PriceList("seven"));
  FirstRowIndexes indexes(tables);
  try {
    indexes.For("C:\\ORBIS\\DATI.MDB", "listi01", "nope");
    ADD_FAILURE() << "a missing column was indexed";
  } catch (const FatalError& error) {
    EXPECT_STREQ(error.what(),
                 "la colonna nope non esiste nella tabella listi01 di "
                 "C:\\ORBIS\\DATI.MDB");
  }
}

}  // namespace
}  // namespace catpub::db
