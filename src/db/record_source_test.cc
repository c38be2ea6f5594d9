#include "db/record_source.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

TEST(RecordSourceTest, AcceptsTheProgramsShapes) {
  RecordSource all = ParseRecordSource("select * from codean ");
  EXPECT_EQ(all.table, "codean");
  EXPECT_FALSE(all.where_column);

  RecordSource one = ParseRecordSource("select * from società where codute = 1 ");
  EXPECT_EQ(one.table, "società");
  EXPECT_EQ(one.where_column, "codute");
  EXPECT_EQ(one.where_value, 1);

  RecordSource price = ParseRecordSource("select * from listi01 where codart = -2147483648");
  EXPECT_EQ(price.where_value, -2147483648LL);
}

TEST(RecordSourceTest, RejectsAnythingElseNamingTheText) {
  for (const char* sql :
       {"", "select * from ", "SELECT * FROM codean", "select a from codean",
        "select * from codean  ", "select * from t where c = ", "select * from t where c = 1x",
        "select * from t where c=1", "select * from t where c = 1.5", "delete from codean",
        "select * from t where c = +1"}) {
    try {
      ParseRecordSource(sql);
      ADD_FAILURE() << "accepted \"" << sql << "\"";
    } catch (const FatalError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + sql + "\""), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace catpub::db
