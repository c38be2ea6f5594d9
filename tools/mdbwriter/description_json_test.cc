#include "mdbwriter/description_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

namespace catpub::mdbwriter {
namespace {

TEST(ParseCurrency, KeepsTenThousandthsExactly) {
  const struct {
    const char* text;
    int64_t expected;
  } kCases[] = {
      {"1.35", 13500},
      {"0", 0},
      {"-0.0001", -1},
      {"+2.5", 25000},
      {"0.1", 1000},
      {"1234567.8912", 12345678912},
      {"922337203685477.5807", std::numeric_limits<int64_t>::max()},
      {"-922337203685477.5808", std::numeric_limits<int64_t>::min()},
      {"007", 70000},
  };
  for (const auto& c : kCases) EXPECT_EQ(ParseCurrency(c.text), c.expected) << c.text;
}

TEST(ParseCurrency, RefusesWhatIsNotAnExactCurrency) {
  for (const char* text : {"", "-", "1.", ".5", "1.23456", "1,35", "1e3", " 1", "1 ", "abc",
                           "922337203685477.5808", "-922337203685477.5809", "99999999999999999"}) {
    EXPECT_THROW(ParseCurrency(text), std::runtime_error) << text;
  }
}

TEST(ParseDateTime, CountsDaysFrom30December1899) {
  const struct {
    const char* text;
    double expected;
  } kCases[] = {
      {"1899-12-30", 0},
      {"1899-12-31", 1},
      {"2000-01-01", 36526},
      {"2000-01-01 12:00", 36526.5},
      {"2000-01-01 12:00:00", 36526.5},
      {"2000-01-01T06:00:00", 36526.25},
      {"2024-02-29 00:00:00", 45351},
      // Before the epoch the day counts back but the time of day still counts forward.
      {"1899-12-29 06:00:00", -1.25},
      {"0100-01-01", -657434},
      {"9999-12-31 23:59:59", 2958465 + 86399 / 86400.0},
  };
  for (const auto& c : kCases) EXPECT_EQ(ParseDateTime(c.text), c.expected) << c.text;
}

TEST(ParseDateTime, RefusesImpossibleOrOtherForms) {
  for (const char* text :
       {"", "2023-02-29", "2023-13-01", "2023-00-10", "2023-04-31", "0099-12-31",
        "2023-01-01 24:00:00", "2023-01-01 12:60", "2023-01-01 12:00:60", "01/01/2023", "2023-1-1",
        "2023-01-01 12", "2023-01-01 12:00:00.5", "12:00:00"}) {
    EXPECT_THROW(ParseDateTime(text), std::runtime_error) << text;
  }
}

TEST(ParseDescription, ReadsTablesColumnsAndTypedValues) {
  const Description description = ParseDescription(R"({"tables": [
    {"name": "società",
     "columns": [{"name": "si", "type": "Yes/No"}, {"name": "b", "type": "byte"},
                 {"name": "i", "type": "Integer"}, {"name": "l", "type": "LONG"},
                 {"name": "c", "type": "Currency"}, {"name": "s", "type": "Single"},
                 {"name": "d", "type": "Double"}, {"name": "t", "type": "DateTime"},
                 {"name": "x", "type": "Text", "size": 12}, {"name": "m", "type": "Memo"}],
     "rows": [[true, 255, -32768, 2147483647, "-1.5", 0.1, 0.1, "2000-01-01", "àé", "日本"],
              [false, null, null, null, 7, "-0", -0.0, 36526.75, "", null],
              [true, 0, 0, -2147483648, 0, "1e20", "1e308", 0, "", ""]]},
    {"name": "vuota", "columns": [{"name": "c", "type": "Boolean"}]}]})");
  const std::vector<Table>& tables = description.tables;
  ASSERT_EQ(tables.size(), 2u);
  const Table& table = tables[0];
  EXPECT_EQ(table.name, "società");
  ASSERT_EQ(table.columns.size(), 10u);
  EXPECT_EQ(table.columns[1].type, ColumnType::kByte);
  EXPECT_EQ(table.columns[3].type, ColumnType::kLong);
  EXPECT_EQ(table.columns[7].type, ColumnType::kDateTime);
  EXPECT_EQ(table.columns[8].type, ColumnType::kText);
  EXPECT_EQ(table.columns[8].text_length, 12);
  EXPECT_EQ(table.columns[9].text_length, 255);
  ASSERT_EQ(table.rows.size(), 3u);

  using db::Value;
  const std::vector<Value> first = {
      true, uint8_t{255}, int16_t{-32768},     int32_t{2147483647}, db::Currency{-15000},
      0.1f, 0.1,          db::DateTime{36526}, std::string("àé"),   std::string("日本")};
  EXPECT_EQ(table.rows[0], first);
  const std::vector<Value> second = {false,
                                     Value{},
                                     Value{},
                                     Value{},
                                     db::Currency{70000},
                                     -0.0f,
                                     -0.0,
                                     db::DateTime{36526.75},
                                     std::string(),
                                     Value{}};
  EXPECT_EQ(table.rows[1], second);
  EXPECT_TRUE(std::signbit(std::get<float>(table.rows[1][5])));
  EXPECT_TRUE(std::signbit(std::get<double>(table.rows[1][6])));
  EXPECT_EQ(table.rows[2][5], Value(1e20f));
  EXPECT_EQ(table.rows[2][6], Value(1e308));

  EXPECT_EQ(tables[1].name, "vuota");
  EXPECT_EQ(tables[1].columns[0].type, ColumnType::kBoolean);
  EXPECT_TRUE(tables[1].rows.empty());
}

TEST(ParseDescription, ReadsMovedRowsAndStoredRowCounts) {
  const Description description = ParseDescription(
      R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}],
                      "rows": [[1], [2], [3]], "moved": [3, 1, 3], "catalog_moved": true,
                      "stored_rows": 2},
                     {"name": "u", "columns": [{"name": "c", "type": "Long"}]},
                     {"name": "v", "columns": [{"name": "c", "type": "Long"}],
                      "stored_rows": 4294967295}],
          "catalog_stored_rows": 0})");
  const std::vector<Table>& tables = description.tables;
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(tables[0].moved_rows, (std::vector<uint64_t>{3, 1, 3}));
  EXPECT_TRUE(tables[0].catalog_row_moved);
  EXPECT_EQ(tables[0].stored_rows, 2u);
  EXPECT_TRUE(tables[1].moved_rows.empty());
  EXPECT_FALSE(tables[1].catalog_row_moved);
  EXPECT_EQ(tables[1].stored_rows, std::nullopt);
  EXPECT_EQ(tables[2].stored_rows, 4294967295u);
  EXPECT_EQ(description.catalog_stored_rows, 0u);
  EXPECT_EQ(ParseDescription(R"({"tables": []})").catalog_stored_rows, std::nullopt);
}

TEST(ParseDescription, NamesWhatIsWrongAndWhere) {
  const struct {
    const char* json;
    const char* message;
  } kCases[] = {
      {"{", "the description is not valid JSON"},
      {R"({"tabelle": []})", "the description: unknown key \"tabelle\""},
      {R"({"tables": {}})", "the description needs \"tables\" (an array)"},
      {R"({"tables": [{"columns": []}]})", "table 1: a table needs a \"name\" (string)"},
      {R"({"tables": [{"name": "t"}]})", "table \"t\": a table needs \"columns\" (an array)"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Money"}]}]})",
       "table \"t\", column \"c\": unknown type \"Money\""},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long", "size": 4}]}]})",
       "table \"t\", column \"c\": \"size\" is for Text columns only"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Text", "size": 300}]}]})",
       "\"size\" must be 1..255"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Text", "lenght": 3}]}]})",
       "table \"t\", column: unknown key \"lenght\""},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "rows": [[1, 2]]}]})",
       "table \"t\", row 1: expected an array of 1 values"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Byte"}], "rows": [[256]]}]})",
       "table \"t\", row 1, column \"c\" (Byte): 256 is out of range"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "rows": [[1.5]]}]})",
       "column \"c\" (Long): expected an integer, got 1.5"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Currency"}], "rows": [[1.35]]}]})",
       "expected a decimal string like \"1.35\", got 1.35"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Currency"}], "rows": [["1.23456"]]}]})",
       "has more than 4 decimals"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Single"}], "rows": [[1e39]]}]})",
       "is out of range for a Single"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Double"}], "rows": [["1e999"]]}]})",
       "\"1e999\" is out of range"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Double"}], "rows": [["0.1x"]]}]})",
       "\"0.1x\" is not a number"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Yes/No"}], "rows": [[1]]}]})",
       "expected true or false, got 1"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Date/Time"}], "rows": [["31/12/2000"]]}]})",
       "is not a date like"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Text"}], "rows": [[5]]}]})",
       "expected a string, got 5"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "moved": [0]}]})",
       "table \"t\": \"moved\" lists row numbers from 1, not 0"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "catalog_moved": 1}]})",
       "table \"t\": \"catalog_moved\" must be true or false"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "stored_rows": -1}]})",
       "table \"t\": \"stored_rows\" is a row count, 0..4294967295: -1 is out of range"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "stored_rows": 4294967296}]})",
       "table \"t\": \"stored_rows\" is a row count, 0..4294967295: 4294967296 is out of range"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "stored_rows": "7"}]})",
       "table \"t\": \"stored_rows\" is a row count, 0..4294967295: expected an integer, got "
       "\"7\""},
      {R"({"tables": [], "catalog_stored_rows": -1})",
       "the description: \"catalog_stored_rows\" is a row count, 0..4294967295: -1 is out of "
       "range"},
      {R"({"tables": [], "catalog_stored_rows": 4294967296})",
       "the description: \"catalog_stored_rows\" is a row count, 0..4294967295: 4294967296 is out "
       "of range"},
      {R"({"tables": [], "catalog_stored_rows": null})",
       "the description: \"catalog_stored_rows\" is a row count, 0..4294967295: expected an "
       "integer, got null"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Long"}], "catalog_stored_rows": 1}]})",
       "table 1: unknown key \"catalog_stored_rows\""},
  };
  for (const auto& c : kCases) {
    try {
      ParseDescription(c.json);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << c.json << "\n  gave: " << error.what();
    }
  }
}

}  // namespace
}  // namespace catpub::mdbwriter
