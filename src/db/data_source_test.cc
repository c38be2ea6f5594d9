#include "db/data_source.h"

#include <gtest/gtest.h>

#include "db/names.h"
#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

using testing::InMemoryTables;
using testing::MemoryTable;

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tables_.Put("C:\\ORBIS\\DATI.MDB", "listi01",
                MemoryTable{{"codart", "desart"},
                            {{int32_t{7}, std::string("first")},
                             {std::monostate{}, std::string("null code")},
                             {int32_t{7}, std::string("second")},
                             {double{8.5}, std::string("fraction")},
                             {Currency{90000}, std::string("currency nine")},
                             {uint8_t{200}, std::string("byte")},
                             {float{-3}, std::string("single")},
                             {std::string("12"), std::string("text")}}});
  }

  std::string Lookup(int64_t code) {
    DataSource source(tables_);
    source.SetDatabaseName("c:\\orbis\\dati.mdb");
    source.SetRecordSource("select * from LISTI01 where CODART = " + std::to_string(code));
    source.Refresh();
    if (source.Eof()) return "<eof>";
    return std::get<std::string>(source.Field("desart"));
  }

  InMemoryTables tables_;
};

TEST_F(DataSourceTest, WhereComparesEveryNumericTypeByValueAndTakesTheFirstStoredRow) {
  EXPECT_EQ(Lookup(7), "first");
  EXPECT_EQ(Lookup(9), "currency nine");
  EXPECT_EQ(Lookup(200), "byte");
  EXPECT_EQ(Lookup(-3), "single");
  EXPECT_EQ(Lookup(0), "<eof>");   // Null matches no number
  EXPECT_EQ(Lookup(8), "<eof>");   // 8.5 is not 8
  EXPECT_EQ(Lookup(12), "<eof>");  // text never equals a number
}

// The table is indexed in parts at once; a key in both parts still finds the earlier row.
TEST_F(DataSourceTest, AKeyInEveryPartOfTheTableFindsTheFirstStoredRow) {
  tables_.Put("C:\\ORBIS\\DATI.MDB", "listi01",
              MemoryTable{{"codart", "desart"},
                          {{int32_t{5}, std::string("five, part one")},
                           {int32_t{6}, std::string("six, part one")},
                           {int32_t{7}, std::string("seven, part two")},
                           {int32_t{5}, std::string("five, part two")},
                           {int32_t{8}, std::string("eight, part two")}}});
  EXPECT_EQ(Lookup(5), "five, part one");
  EXPECT_EQ(Lookup(7), "seven, part two");
  EXPECT_EQ(Lookup(8), "eight, part two");
  EXPECT_EQ(Lookup(9), "<eof>");
}

TEST_F(DataSourceTest, RepeatedLookupsReadTheTableOnce) {
  DataSource source(tables_);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  for (int code : {7, 9, 1, 7}) {
    source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
    source.SetRecordSource("select * from listi01 where codart = " + std::to_string(code));
    source.Refresh();
  }
  EXPECT_EQ(tables_.opened().size(), 1u);
  EXPECT_EQ(std::get<std::string>(source.Field("DESART")), "first");
}

TEST_F(DataSourceTest, WalksAWholeTableInStoredOrder) {
  DataSource source(tables_);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  source.SetRecordSource("select * from listi01 ");
  source.Refresh();
  int rows = 0;
  for (; !source.Eof(); source.MoveNext()) ++rows;
  EXPECT_EQ(rows, 8);
  EXPECT_TRUE(source.Eof());
}

TEST_F(DataSourceTest, NullTestAndMissingColumns) {
  DataSource source(tables_);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  source.SetRecordSource("select * from listi01");
  source.Refresh();
  source.MoveNext();
  EXPECT_TRUE(source.IsNull("codart"));
  EXPECT_FALSE(source.IsNull("desart"));
  EXPECT_THROW(source.Field("ricart"), FatalError);
}

TEST_F(DataSourceTest, ColumnsReadInAnyOrderAndCase) {
  DataSource source(tables_);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  source.SetRecordSource("select * from listi01 where codart = 9");
  source.Refresh();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(std::get<std::string>(source.Field("desart")), "currency nine");
    EXPECT_EQ(std::get<Currency>(source.Field("CodArt")), Currency{90000});
    EXPECT_EQ(std::get<std::string>(source.Field("DESART")), "currency nine");
    EXPECT_FALSE(source.IsNull("codart"));
  }
  EXPECT_THROW(source.Field("desar"), FatalError);
}

TEST_F(DataSourceTest, MissingTableOrWhereColumnIsFatal) {
  DataSource source(tables_);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  source.SetRecordSource("select * from codean ");
  EXPECT_THROW(source.Refresh(), FatalError);
  source.SetRecordSource("select * from listi01 where nope = 1");
  EXPECT_THROW(source.Refresh(), FatalError);
}

TEST_F(DataSourceTest, PointingAtAnotherDatabaseUsesIt) {
  tables_.Put("D:\\OTHER.MDB", "listi01",
              MemoryTable{{"codart", "desart"}, {{int32_t{7}, std::string("other")}}});
  DataSource source(tables_);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  source.SetRecordSource("select * from listi01 where codart = 7");
  source.Refresh();
  source.SetDatabaseName("d:\\other.mdb");
  source.Refresh();
  EXPECT_EQ(std::get<std::string>(source.Field("desart")), "other");
}

TEST_F(DataSourceTest, ColumnsAreFoundInAnyOrderAndSpellingOnEveryRow) {
  // The same names in other places, so that a column remembered from one record set is wrong for
  // the other.
  tables_.Put("C:\\ORBIS\\DATI.MDB", "codean",
              MemoryTable{{"eanare", "codare", "colare"},
                          {{std::string("800"), int32_t{7}, std::monostate{}},
                           {std::string("801"), int32_t{9}, int16_t{5}},
                           {std::string("802"), int32_t{11}, std::monostate{}}}});
  DataSource codean(tables_), listi01(tables_);
  codean.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  codean.SetRecordSource("select * from codean ");
  codean.Refresh();
  const std::vector<std::vector<const char*>> orders = {
      {"colare", "codare", "eanare"}, {"EANARE", "colare", "CodAre"}, {"codare", "eanare"}};
  std::vector<std::string> seen;
  for (const auto& order : orders) {
    ASSERT_FALSE(codean.Eof());
    for (const char* column : order) {
      const Value& value = codean.Field(column);
      if (SameName(column, "eanare")) seen.push_back(std::get<std::string>(value));
      if (SameName(column, "codare")) seen.push_back(std::to_string(std::get<int32_t>(value)));
      if (SameName(column, "colare")) seen.push_back(codean.IsNull(column) ? "null" : "5");
    }
    // A price lookup between two reads of codean, reading its columns in its own order.
    listi01.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
    listi01.SetRecordSource("select * from listi01 where codart = 7");
    listi01.Refresh();
    seen.push_back(std::get<std::string>(listi01.Field("desart")));
    EXPECT_THROW(listi01.Field("eanare"), FatalError);
    codean.MoveNext();
  }
  EXPECT_TRUE(codean.Eof());
  EXPECT_EQ(seen, (std::vector<std::string>{"null", "7", "800", "first", "801", "5", "9", "first",
                                            "11", "802", "first"}));
}

TEST_F(DataSourceTest, BoundColumnsAreFoundInEveryRecordSetAndFailAsNamedOnes) {
  // The same names in other places, so that a position found in one table is wrong for the other.
  tables_.Put("C:\\ORBIS\\DATI.MDB", "codean",
              MemoryTable{{"eanare", "desart", "codart"},
                          {{std::string("800"), std::string("barcode"), int32_t{7}}}});
  DataSource source(tables_);
  const DataSource::Column desart = source.Bind("DesArt");
  EXPECT_EQ(source.Bind("DesArt").bound, desart.bound);
  source.SetDatabaseName("C:\\ORBIS\\DATI.MDB");
  source.SetRecordSource("select * from listi01 where codart = 7");
  source.Refresh();
  const DataSource::Column eanare = source.Bind("eanare");  // bound after the refresh
  EXPECT_EQ(std::get<std::string>(source.Field(desart)), "first");
  try {
    source.Field(eanare);
    ADD_FAILURE() << "a missing column was read";
  } catch (const FatalError& error) {
    EXPECT_STREQ(error.what(),
                 "la colonna eanare non esiste nella tabella listi01 di C:\\ORBIS\\DATI.MDB");
  }
  source.SetRecordSource("select * from codean ");
  source.Refresh();
  EXPECT_EQ(std::get<std::string>(source.Field(desart)), "barcode");
  EXPECT_EQ(std::get<std::string>(source.Field(eanare)), "800");
  source.MoveNext();
  try {
    source.Field(desart);
    ADD_FAILURE() << "a column was read at the end";
  } catch (const FatalError& error) {
    EXPECT_STREQ(error.what(),
                 "nessuna riga corrente nella tabella codean di C:\\ORBIS\\DATI.MDB (colonna "
                 "DesArt)");
  }
  source.SetRecordSource("select * from listi01 where codart = 9");
  source.Refresh();
  EXPECT_EQ(std::get<std::string>(source.Field(desart)), "currency nine");
  source.ForgetRows();
  EXPECT_THROW(source.Field(desart), FatalError);
  source.Refresh();
  EXPECT_EQ(std::get<std::string>(source.Field(desart)), "currency nine");
}

}  // namespace
}  // namespace catpub::db
