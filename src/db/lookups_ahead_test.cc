#include "db/lookups_ahead.h"

#include <gtest/gtest.h>

#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

using testing::InMemoryTables;
using testing::MemoryTable;

constexpr char kData[] = "C:\\ORBIS\\DATI.MDB";

std::optional<int64_t> CodeOf(const Value& value) {
  if (const auto* code = std::get_if<int32_t>(&value)) return *code;
  return std::nullopt;
}

// The walk and its queries as the export runs them: every row prepared for, then queried.
TEST(LookupsAheadTest, TheWalkAndItsQueriesAnswerAsWithoutItAndFailWhereTheyWould) {
  InMemoryTables tables;
  MemoryTable codean{{"eanare", "codare"},
                     {{std::string("800"), int32_t{2}},
                      {std::string("801"), std::string("no code")},
                      {std::string("802"), int32_t{1}},
                      {std::string("803"), int32_t{9}},
                      {std::string("804"), int32_t{2}},
                      {std::string("805"), int32_t{1}}}};
  codean.damaged_row = 5;
  tables.Put(kData, "codean", codean);
  tables.Put(kData, "listi01",
             MemoryTable{{"codart", "desart"},
                         {{int32_t{1}, std::string("one")}, {int32_t{2}, std::string("two")}}});
  DataSource walk(tables), lookups(tables);
  walk.SetDatabaseName(kData);
  walk.SetRecordSource("select * from codean ");
  walk.Refresh();
  LookupsAhead ahead(walk, "codare", CodeOf, lookups);
  const DataSource::Column codare = walk.Bind("codare");
  std::vector<std::string> found;
  try {
    for (; !walk.Eof(); walk.MoveNext()) {
      ahead.Prepare();
      const std::optional<int64_t> code = CodeOf(walk.Field(codare));
      if (!code) continue;
      lookups.SetDatabaseName(kData);
      lookups.SetRecordSource("select * from listi01 where codart = " + std::to_string(*code));
      lookups.Refresh();
      found.push_back(std::get<std::string>(walk.Field("eanare")) + " " +
                      (lookups.Eof() ? "<eof>" : std::get<std::string>(lookups.Field("desart"))));
    }
    ADD_FAILURE() << "the damaged row was not reported";
  } catch (const FatalError& error) {
    EXPECT_STREQ(error.what(), "riga danneggiata 5");
  }
  EXPECT_EQ(found, (std::vector<std::string>{"800 two", "802 one", "803 <eof>", "804 two"}));
}

}  // namespace
}  // namespace catpub::db
