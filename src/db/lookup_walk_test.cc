#include "db/lookup_walk.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

using testing::InMemoryTables;
using testing::MemoryTable;

constexpr char kData[] = "C:\\ORBIS\\DATI.MDB";
constexpr std::string_view kBarcodeColumns[] = {"eanare", "codare"};
constexpr std::string_view kPriceColumns[] = {"desart"};
constexpr char kQuery[] = "select * from listi01 where codart = ";

// The barcode of every row whose key was computed, once for each time.
std::multiset<std::string> keys_computed;

// A Long codare is the key, "none" asks for no lookup, any other value has no key.
std::optional<int32_t> CodeOf(const LookupWalk::Row& row) {
  keys_computed.insert(std::get<std::string>(row[0]));
  const Value& codare = row[1];
  if (const auto* code = std::get_if<int32_t>(&codare)) return *code;
  if (codare == Value(std::string("none"))) return std::nullopt;
  throw FatalError("nessun codice");
}

class LookupWalkTest : public ::testing::Test {
 protected:
  LookupWalkTest() {
    keys_computed.clear();
    tables_.Put(kData, "listi01",
                MemoryTable{{"codart", "desart"},
                            {{int32_t{1}, std::string("one")},
                             {int32_t{2}, std::string("two")},
                             {int32_t{-5}, std::string("minus five")},
                             {int32_t{1}, std::string("one again")}}});
  }

  void Codean(MemoryTable table) { tables_.Put(kData, "codean", std::move(table)); }

  // Walks codean as the export does, each row's barcode and what its lookup found, until the walk
  // ends or fails; the failure last.
  std::vector<std::string> Walk() {
    DataSource codean(tables_), listi01(tables_);
    codean.SetDatabaseName(kData);
    codean.SetRecordSource("select * from codean ");
    codean.Refresh();
    LookupWalk walk({codean, kBarcodeColumns, CodeOf}, {listi01, kData, kQuery, kPriceColumns});
    std::vector<std::string> walked;
    try {
      for (; !walk.Eof(); walk.MoveNext()) {
        std::string line = std::get<std::string>(walk.Walked(0));
        walk.Key();  // a key asked for again is not computed again
        if (!walk.Key()) {
          walked.push_back(line + " <no key>");
          continue;
        }
        line += " " + std::to_string(*walk.Key());
        walked.push_back(line + " " +
                         (walk.LookUp() ? std::get<std::string>(walk.Found(0)) : "<eof>"));
      }
    } catch (const FatalError& error) {
      walked.push_back(error.what());
    }
    return walked;
  }

  InMemoryTables tables_;
};

TEST_F(LookupWalkTest, EachRowFindsTheFirstStoredRowOfItsKey) {
  Codean(MemoryTable{{"eanare", "codare"},
                     {{std::string("800"), int32_t{2}},
                      {std::string("801"), std::string("none")},
                      {std::string("802"), int32_t{1}},
                      {std::string("803"), int32_t{9}},
                      {std::string("804"), int32_t{-5}}}});
  EXPECT_EQ(Walk(), (std::vector<std::string>{"800 2 two", "801 <no key>", "802 1 one",
                                              "803 9 <eof>", "804 -5 minus five"}));
  EXPECT_EQ(keys_computed, (std::multiset<std::string>{"800", "801", "802", "803", "804"}));
  // The price list is indexed once, and not at all when no row asks for it.
  EXPECT_EQ(tables_.opened(), (std::vector<std::string>{"codean", "listi01"}));
  Codean(MemoryTable{{"eanare", "codare"}, {{std::string("801"), std::string("none")}}});
  Walk();
  EXPECT_EQ(tables_.opened(), (std::vector<std::string>{"codean", "listi01", "codean"}));
}

// Rows and keys are read ahead of the walk; their failures still come at their own rows, after
// every row before them.
TEST_F(LookupWalkTest, FailuresComeAtTheRowsTheyBelongTo) {
  MemoryTable codean{{"eanare", "codare"},
                     {{std::string("800"), int32_t{2}},
                      {std::string("801"), int32_t{1}},
                      {std::string("802"), std::string("12A")},
                      {std::string("803"), int32_t{1}}}};
  Codean(codean);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"800 2 two", "801 1 one", "nessun codice"}));
  // Computed while read ahead, and again as the current row.
  EXPECT_EQ(keys_computed, (std::multiset<std::string>{"800", "801", "802", "802", "803"}));

  codean.rows[2][1] = int32_t{2};
  codean.damaged_row = 2;
  Codean(codean);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"800 2 two", "801 1 one", "riga danneggiata 2"}));
}

TEST_F(LookupWalkTest, AMissingColumnIsReportedWhenItIsRead) {
  Codean(MemoryTable{{"eanare"}, {{std::string("800")}}});
  EXPECT_EQ(Walk(), std::vector<std::string>{"la colonna codare non esiste nella tabella codean di "
                                             "C:\\ORBIS\\DATI.MDB"});

  Codean(MemoryTable{{"eanare", "codare"}, {{std::string("800"), int32_t{2}}}});
  tables_.Put(kData, "listi01", MemoryTable{{"codart"}, {{int32_t{2}}}});
  EXPECT_EQ(Walk(), std::vector<std::string>{"la colonna desart non esiste nella tabella listi01 "
                                             "di C:\\ORBIS\\DATI.MDB"});
}

}  // namespace
}  // namespace catpub::db
