#include "publish/article_export.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "fakes/fake_platform.h"
#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"
#include "platform/this_process.h"

namespace catpub::publish {
namespace {

using std::chrono::milliseconds;
using testing::FakeDisk;
using testing::FakeFileStamps;
using testing::FakeFileSystem;
using testing::FakeNumberedFiles;
using testing::InMemoryTables;
using testing::MemoryTable;
using Row = std::vector<db::Value>;

constexpr char kDataDb[] = "C:\\ORBIS\\DATI.MDB";
const db::Value kNull = std::monostate{};

// Numbered files that remember how file 5 was opened and what the disk held then, and can fail a
// write, as a full disk would.
class RecordingFiles : public FakeNumberedFiles {
 public:
  explicit RecordingFiles(FakeDisk& disk) : FakeNumberedFiles(disk), disk_(disk) {}
  void OpenForOutput(int number, const std::string& path, platform::Flush flush) override {
    opened.push_back(std::to_string(number) + " " + path);
    flushes.push_back(flush);
    on_disk_at_open.clear();
    for (const auto& [key, file] : disk_.files) on_disk_at_open.push_back(file.path);
    FakeNumberedFiles::OpenForOutput(number, path, flush);
  }
  void WriteLine(int number, std::string_view text) override {
    if (writes_before_failure == 0)
      throw FatalError("impossibile scrivere C:\\orbis\\articoli.csv.tmp");
    --writes_before_failure;
    FakeNumberedFiles::WriteLine(number, text);
  }
  std::vector<std::string> opened;
  std::vector<platform::Flush> flushes;
  std::vector<std::string> on_disk_at_open;  // at the latest opening, in folded order
  int writes_before_failure = -1;            // never

 private:
  FakeDisk& disk_;
};

Row Barcode(db::Value colare, db::Value codare, db::Value eanare) {
  return {std::move(colare), std::move(codare), std::move(eanare), std::string("unused")};
}

// A price row like LATTE's, with the column types a shop's database has.
Row Price(int32_t codart, std::string desart = "LATTE", db::Value codafo = std::string("123456")) {
  return {codart,
          std::move(desart),
          std::string("ALIMENTARI"),
          std::string("4"),
          1.35,
          db::Currency{25000},
          int32_t{30},
          1.99,
          std::move(codafo)};
}

const std::string kPad45(45, ' ');
const std::string kLatteLine = "8001234567890;LATTE" + kPad45 + ";ALIMENTARI" +
                               std::string(20, ' ') + ";4 ;1,35;2,5;30;1,99;123456;";

// The line of a price row from Price() with the given barcode field and description.
std::string Line(const std::string& barcode13, const std::string& desart = "LATTE",
                 const std::string& supplier = "123456") {
  return barcode13 + ";" + desart + std::string(50 - desart.size(), ' ') + ";ALIMENTARI" +
         std::string(20, ' ') + ";4 ;1,35;2,5;30;1,99;" + supplier + ";";
}

class ArticleExportTest : public ::testing::Test {
 protected:
  void Codean(std::vector<Row> rows) {
    tables_.Put(kDataDb, "codean", MemoryTable{{"COLARE", "codare", "eanare", "altro"}, rows});
  }
  void Listi01(std::vector<Row> rows) {
    tables_.Put(kDataDb, "listi01",
                MemoryTable{{"codart", "desart", "desrep", "ivart", "cosiva", "przpub", "ricart",
                             "przsal", "codafo"},
                            rows});
  }

  bool Run(const std::string& data_db = kDataDb) {
    db::DataSource codean(tables_);
    db::DataSource listi01(tables_);
    return ExportArticles(data_db, codean, listi01, files_, fs_, stamps_, sleep_).has_value();
  }
  // The message of the fatal error the export must end with.
  std::string RunFailing(const std::string& data_db = kDataDb) {
    try {
      Run(data_db);
    } catch (const FatalError& error) {
      return ReportLine(error);
    }
    ADD_FAILURE() << "the export did not fail";
    return "";
  }
  const std::vector<std::string>& Exported() const { return disk_.Lines(kExportPath); }
  void ExpectPreviousExportKept() const {
    ASSERT_TRUE(disk_.Has(kExportPath));
    EXPECT_EQ(Exported(), std::vector<std::string>{"previous"});
    EXPECT_FALSE(disk_.Has(ExportTempPath()));
  }

  InMemoryTables tables_;
  FakeDisk disk_;
  RecordingFiles files_{disk_};
  FakeFileSystem fs_{disk_};
  FakeFileStamps stamps_;
  // The pauses the export took; none is waited for.
  std::vector<milliseconds> pauses_;
  platform::Sleep sleep_ = [this](milliseconds pause) { pauses_.push_back(pause); };
};

TEST_F(ArticleExportTest, OneLinePerArticleInBarcodeOrderThroughATemporaryFile) {
  Codean({Barcode(kNull, int32_t{1}, std::string("8001234567890")),
          Barcode(kNull, int32_t{2}, std::string("8000000000002"))});
  Listi01({Price(2, "PANE"), Price(1, "LATTE")});
  disk_.Put(kExportPath, {"previous"});

  EXPECT_TRUE(Run());

  EXPECT_EQ(Exported(), (std::vector<std::string>{kLatteLine, Line("8000000000002", "PANE")}));
  EXPECT_EQ(Exported()[0], Line("8001234567890"));
  EXPECT_EQ(files_.opened,
            std::vector<std::string>{"5 C:\\orbis\\articoli.csv." +
                                     std::to_string(platform::ProcessId()) + ".tmp"});
  EXPECT_EQ(files_.flushes, std::vector<platform::Flush>{platform::Flush::kOnClose});
  EXPECT_FALSE(files_.IsOpen(5));
  EXPECT_FALSE(disk_.Has(ExportTempPath()));
}

// Runs killed outright left their temporary exports: they are gone before the new one is opened,
// and one that cannot be removed stops nothing. They go also when there is nothing to write.
TEST_F(ArticleExportTest, TemporaryExportsOfEarlierRunsGoBeforeTheNewOneIsOpened) {
  constexpr char kLeft[] = "C:\\orbis\\articoli.csv.1.tmp";
  constexpr char kHeld[] = "C:\\ORBIS\\ARTICOLI.CSV.2.TMP";
  Codean({Barcode(kNull, int32_t{1}, std::string("8001234567890"))});
  Listi01({Price(1)});
  disk_.Put(kExportPath, {"previous"});
  disk_.Put(kLeft, {"half an export"});
  disk_.Put(kHeld, {"half an export"});
  disk_.held_open = {FakeDisk::Key(kHeld)};

  EXPECT_TRUE(Run());
  EXPECT_EQ(files_.on_disk_at_open, (std::vector<std::string>{kExportPath, kHeld}));
  EXPECT_EQ(Exported(), std::vector<std::string>{kLatteLine});
  EXPECT_FALSE(disk_.Has(kLeft));
  EXPECT_TRUE(disk_.Has(kHeld));

  Codean({});
  disk_.Put(kLeft, {"half an export"});
  EXPECT_FALSE(Run());
  EXPECT_FALSE(disk_.Has(kLeft));
}

TEST_F(ArticleExportTest, ColareWhoseTextReadsFiveExcludesTheRow) {
  struct Case {
    db::Value colare;
    bool excluded;
  };
  const Case cases[] = {
      {int32_t{5}, true},
      {std::string("5"), true},
      {std::string("05"), true},
      {std::string("5A"), true},
      {std::string(" 5"), true},
      {5.5, true},
      {db::Currency{55000}, true},
      {std::string("5 0"), false},
      {std::string("50"), false},
      {kNull, false},
      {std::string(""), false},
      {int16_t{4}, false},
      {true, false},
      {std::string("5,0"), true},
      {std::string("&H5"), true},
  };
  std::vector<Row> barcodes;
  std::vector<std::string> expected;
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::string ean = "80000000000" + std::to_string(10 + i);
    barcodes.push_back(Barcode(cases[i].colare, int32_t{1}, ean));
    if (!cases[i].excluded) expected.push_back(Line(ean));
  }
  Codean(barcodes);
  Listi01({Price(1)});

  EXPECT_TRUE(Run());
  EXPECT_EQ(Exported(), expected);
}

TEST_F(ArticleExportTest, FirstPriceRowOfAnArticleAndNoLineWithoutOne) {
  Codean({Barcode(kNull, int32_t{7}, std::string("8000000000007")),
          Barcode(kNull, int32_t{8}, std::string("8000000000008")),
          Barcode(kNull, int32_t{9}, std::string("8000000000009"))});
  Listi01({Price(7, "FIRST"), Price(9, "NINE"), Price(7, "SECOND")});

  EXPECT_TRUE(Run());
  EXPECT_EQ(Exported(), (std::vector<std::string>{Line("8000000000007", "FIRST"),
                                                  Line("8000000000009", "NINE")}));
}

TEST_F(ArticleExportTest, ArticleCodeIsTheRoundedLongOfCodare) {
  Codean({Barcode(kNull, int32_t{-5}, std::string("A")), Barcode(kNull, 7.5, std::string("B")),
          Barcode(kNull, std::string(" 1.234 "), std::string("C")),
          Barcode(kNull, db::Currency{25000}, std::string("D"))});
  Listi01({Price(-5, "MINUS FIVE"), Price(8, "EIGHT"), Price(1234, "TEXT"), Price(2, "TWO")});

  EXPECT_TRUE(Run());
  const std::string pad(12, ' ');
  EXPECT_EQ(Exported(),
            (std::vector<std::string>{Line("A" + pad, "MINUS FIVE"), Line("B" + pad, "EIGHT"),
                                      Line("C" + pad, "TEXT"), Line("D" + pad, "TWO")}));
}

TEST_F(ArticleExportTest, EmptyCodeanWritesNoFileAndLeavesThePreviousOne) {
  Codean({});
  disk_.Put(kExportPath, {"previous"});

  EXPECT_FALSE(Run());
  ExpectPreviousExportKept();
  EXPECT_TRUE(files_.opened.empty());
  EXPECT_EQ(tables_.opened(), std::vector<std::string>{"codean"});  // no price-list query
}

TEST_F(ArticleExportTest, NothingExportedStillGivesAnEmptyFile) {
  Codean({Barcode(int32_t{5}, int32_t{1}, std::string("8000000000001")),
          Barcode(kNull, int32_t{2}, std::string("8000000000002"))});
  Listi01({Price(1)});
  disk_.Put(kExportPath, {"previous"});

  EXPECT_TRUE(Run());
  ASSERT_TRUE(disk_.Has(kExportPath));
  EXPECT_TRUE(Exported().empty());
}

TEST_F(ArticleExportTest, ExcludedRowsAskNothingOfThePriceList) {
  Codean({Barcode(std::string("5"), kNull, kNull)});  // codare and eanare are never read
  EXPECT_TRUE(Run());
  EXPECT_TRUE(Exported().empty());
  EXPECT_EQ(tables_.opened(), std::vector<std::string>{"codean"});

  // Nor among other rows, which are read ahead of the one exported.
  Codean({Barcode(kNull, int32_t{1}, std::string("8000000000001")),
          Barcode(std::string("5"), std::string("12A"), kNull), Barcode(int32_t{5}, kNull, kNull),
          Barcode(kNull, int32_t{1}, std::string("8000000000004"))});
  Listi01({Price(1)});
  EXPECT_TRUE(Run());
  EXPECT_EQ(Exported(), (std::vector<std::string>{Line("8000000000001"), Line("8000000000004")}));
}

TEST_F(ArticleExportTest, FieldsAreCutPaddedAndWrittenUnquoted) {
  Codean({Barcode(kNull, int32_t{1}, std::string("80012345")),
          Barcode(kNull, int32_t{2}, std::string("80012345678901")),
          Barcode(kNull, int32_t{3}, int32_t{80012345})});
  Row semicolons = Price(2, "LATTE; INTERO;");
  semicolons[3] = std::string("22");
  semicolons[6] = kNull;  // ricart
  Listi01({Price(1, std::string(60, 'X')), semicolons, Price(3)});

  EXPECT_TRUE(Run());
  ASSERT_EQ(Exported().size(), 3u);
  EXPECT_EQ(Exported()[0], Line("80012345     ", std::string(50, 'X')));
  EXPECT_EQ(Exported()[1], "8001234567890;LATTE; INTERO;" + std::string(36, ' ') + ";ALIMENTARI" +
                               std::string(20, ' ') + ";22;1,35;2,5;;1,99;123456;");
  EXPECT_EQ(Exported()[2], Line("80012345     "));
}

TEST_F(ArticleExportTest, SupplierNumberFromTheSixteenCharactersOfCodafoEveryRowAnew) {
  struct Case {
    db::Value codafo;
    const char* field9;
  };
  const Case cases[] = {
      {std::string("0012345"), "12345"},
      {kNull, "0"},  // after a numeric code
      {std::string("77"), "77"},
      {std::string("ABC"), "0"},
      {std::string(""), "0"},
      {std::string("12,5"), "12,5"},
      {std::string("   42   "), "42"},
      {std::string("12345678901234567"), "1,23456789012346E+15"},  // judged on its first 16
      {std::string("1000000000000000"), "1E+15"},
      {std::string("1.000"), "1000"},
      {int32_t{55}, "55"},
  };
  std::vector<Row> barcodes;
  std::vector<Row> prices;
  std::vector<std::string> expected;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const int32_t code = static_cast<int32_t>(100 + i);
    const std::string ean = "8000000000" + std::to_string(code);
    barcodes.push_back(Barcode(kNull, code, ean));
    prices.push_back(Price(code, "LATTE", cases[i].codafo));
    expected.push_back(Line(ean, "LATTE", cases[i].field9));
  }
  Codean(barcodes);
  Listi01(prices);

  EXPECT_TRUE(Run());
  EXPECT_EQ(Exported(), expected);
}

// Where a Null may not stand, the export ends; the previous file stays and the message says where.
TEST_F(ArticleExportTest, NullWhereAValueIsNeededEndsTheExport) {
  struct Case {
    const char* table;
    size_t column;
    const char* name;
  };
  const Case cases[] = {
      {"codean", 1, "codare"},  {"codean", 2, "eanare"},  {"listi01", 1, "desart"},
      {"listi01", 2, "desrep"}, {"listi01", 3, "ivart"},  {"listi01", 4, "cosiva"},
      {"listi01", 5, "przpub"}, {"listi01", 7, "przsal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Row> barcodes = {Barcode(kNull, int32_t{1}, std::string("8000000000001")),
                                 Barcode(kNull, int32_t{2}, std::string("8000000000002"))};
    std::vector<Row> prices = {Price(1), Price(2)};
    Row& broken = std::string(c.table) == "codean" ? barcodes[1] : prices[1];
    broken[c.column] = kNull;
    Codean(barcodes);
    Listi01(prices);
    disk_.Put(kExportPath, {"previous"});

    const std::string message = RunFailing();
    EXPECT_TRUE(message.starts_with(std::string("ERRORE : valore Null in ") + c.table + "." +
                                    c.name + " (riga 2 di codean"))
        << message;
    if (std::string(c.name) != "codare") {
      EXPECT_NE(message.find("articolo 2"), std::string::npos) << message;
    }
    if (std::string(c.name) != "eanare") {
      EXPECT_NE(message.find("codice a barre 8000000000002"), std::string::npos) << message;
    }
    ExpectPreviousExportKept();
  }
}

TEST_F(ArticleExportTest, ArticleCodeThatIsNoLongEndsTheExport) {
  struct Case {
    db::Value codare;
    const char* message;
  };
  const Case cases[] = {
      {std::string("12A"),
       "ERRORE : valore non numerico \"12A\" in codean.codare (riga 1 di codean, codice a barre "
       "8000000000001)"},
      {3e9,
       "ERRORE : valore fuori limite 3000000000 in codean.codare (riga 1 di codean, codice a "
       "barre 8000000000001)"},
  };
  for (const Case& c : cases) {
    Codean({Barcode(kNull, c.codare, std::string("8000000000001"))});
    Listi01({Price(1)});
    disk_.Put(kExportPath, {"previous"});
    EXPECT_EQ(RunFailing(), c.message);
    ExpectPreviousExportKept();
  }
}

// A long value is shown by its first 60 characters, never by a part of one.
TEST_F(ArticleExportTest, ALongValueInAMessageIsCutBetweenCharacters) {
  std::string accented;
  for (int i = 0; i < 61; ++i) accented += "\xC3\x88";  // "È"
  Codean({Barcode(kNull, accented, std::string("8000000000001"))});
  Listi01({Price(1)});
  EXPECT_EQ(RunFailing(), "ERRORE : valore non numerico \"" + accented.substr(0, 120) +
                              "...\" in codean.codare (riga 1 di codean, codice a barre "
                              "8000000000001)");
}

TEST_F(ArticleExportTest, PriceThatIsNoNumberEndsTheExport) {
  Row price = Price(1);
  price[7] = std::string("uno");
  Codean({Barcode(kNull, int32_t{1}, std::string("8000000000001"))});
  Listi01({price});
  EXPECT_EQ(RunFailing(),
            "ERRORE : valore non numerico \"uno\" in listi01.przsal (riga 1 di codean, articolo 1, "
            "codice a barre 8000000000001)");
}

TEST_F(ArticleExportTest, MissingDatabaseTableOrColumnEndsTheExportWithAnErroreLine) {
  disk_.Put(kExportPath, {"previous"});
  Codean({Barcode(kNull, int32_t{1}, std::string("8000000000001"))});

  // No listi01 table.
  std::string message = RunFailing();
  EXPECT_TRUE(message.starts_with("ERRORE : esportazione articoli: ")) << message;
  EXPECT_NE(message.find("listi01"), std::string::npos) << message;
  EXPECT_NE(message.find("codice a barre 8000000000001"), std::string::npos) << message;
  ExpectPreviousExportKept();

  // A price list without desrep.
  tables_.Put(kDataDb, "listi01",
              MemoryTable{{"codart", "desart", "ivart"},
                          {{int32_t{1}, std::string("X"), std::string("4")}}});
  message = RunFailing();
  EXPECT_TRUE(message.starts_with("ERRORE : esportazione articoli: ")) << message;
  EXPECT_NE(message.find("desrep"), std::string::npos) << message;
  ExpectPreviousExportKept();

  // Another database, which has no codean.
  message = RunFailing("C:\\ORBIS\\ALTRO.MDB");
  EXPECT_TRUE(message.starts_with("ERRORE : esportazione articoli: ")) << message;
  EXPECT_NE(message.find("ALTRO.MDB"), std::string::npos) << message;
  ExpectPreviousExportKept();
}

TEST_F(ArticleExportTest, WriteFailureDiscardsThePartialFile) {
  Codean({Barcode(kNull, int32_t{1}, std::string("8000000000001")),
          Barcode(kNull, int32_t{1}, std::string("8000000000002"))});
  Listi01({Price(1)});
  disk_.Put(kExportPath, {"previous"});
  files_.writes_before_failure = 1;

  EXPECT_EQ(
      RunFailing(),
      "ERRORE : esportazione articoli: impossibile scrivere C:\\orbis\\articoli.csv.tmp (riga 2 di "
      "codean, articolo 1, codice a barre 8000000000002)");
  ExpectPreviousExportKept();
  EXPECT_FALSE(files_.IsOpen(5));
}

// Barcodes are read a few rows ahead of the one being exported: a row that cannot be read is
// reported when the walk reaches it, after every failure of the rows before it.
TEST_F(ArticleExportTest, ADamagedBarcodeRowIsReportedWhereTheWalkReachesIt) {
  disk_.Put(kExportPath, {"previous"});
  Listi01({Price(1)});
  MemoryTable codean{{"COLARE", "codare", "eanare", "altro"},
                     {Barcode(kNull, int32_t{1}, std::string("8000000000001")),
                      Barcode(kNull, int32_t{1}, std::string("8000000000002")),
                      Barcode(kNull, int32_t{1}, std::string("8000000000003")),
                      Barcode(kNull, int32_t{1}, std::string("8000000000004"))}};
  codean.damaged_row = 3;
  tables_.Put(kDataDb, "codean", codean);
  std::string message = RunFailing();
  EXPECT_NE(message.find("riga danneggiata 3"), std::string::npos) << message;
  EXPECT_NE(message.find("(riga 4 di codean)"), std::string::npos) << message;
  ExpectPreviousExportKept();

  codean.rows[1] = Barcode(kNull, std::string("12A"), std::string("8000000000002"));
  tables_.Put(kDataDb, "codean", codean);
  EXPECT_TRUE(
      RunFailing().starts_with("ERRORE : valore non numerico \"12A\" in codean.codare "
                               "(riga 2 di codean"));
  ExpectPreviousExportKept();
}

// Lines are composed and written while later rows are looked up: thousands of them still come out
// complete and in order, and a line that cannot be written is reported ahead of a later row's
// failure.
TEST_F(ArticleExportTest, ManyLinesKeepTheirOrderAndTheFirstFailureIsReported) {
  std::vector<Row> barcodes;
  std::vector<std::string> expected;
  for (int i = 0; i < 3001; ++i) {
    const std::string barcode = std::to_string(8000000000000 + i);
    barcodes.push_back(Barcode(kNull, int32_t{1 + i % 2}, barcode));
    expected.push_back(Line(barcode, i % 2 == 0 ? "LATTE" : "PANE"));
  }
  Codean(barcodes);
  Listi01({Price(1, "LATTE"), Price(2, "PANE")});
  EXPECT_TRUE(Run());
  EXPECT_EQ(Exported(), expected);

  disk_.Put(kExportPath, {"previous"});
  barcodes.resize(1200);
  barcodes.push_back(Barcode(kNull, std::string("12A"), std::string("8009999999999")));
  Codean(barcodes);
  EXPECT_TRUE(
      RunFailing().starts_with("ERRORE : valore non numerico \"12A\" in codean.codare "
                               "(riga 1201 di codean"));
  ExpectPreviousExportKept();

  files_.writes_before_failure = 700;
  EXPECT_EQ(
      RunFailing(),
      "ERRORE : esportazione articoli: impossibile scrivere C:\\orbis\\articoli.csv.tmp (riga 701 "
      "di codean, articolo 1, codice a barre 8000000000700)");
  ExpectPreviousExportKept();
}

// A row of codean that cannot be read is reported at its own number, not at the row before it
// (whose article and barcode have nothing to do with it); a row that reads is reported with them.
TEST_F(ArticleExportTest, FailuresAreReportedAtTheRowTheyHappenedAt) {
  std::vector<Row> barcodes = {Barcode(kNull, int32_t{1}, std::string("8000000000001")),
                               Barcode(kNull, int32_t{1}, std::string("8000000000002")),
                               Barcode(kNull, int32_t{1}, std::string("8000000000003"))};
  tables_.Put(kDataDb, "codean", MemoryTable{{"COLARE", "codare", "eanare", "altro"}, barcodes, 2});
  Listi01({Price(1)});
  disk_.Put(kExportPath, {"previous"});
  EXPECT_EQ(RunFailing(), "ERRORE : esportazione articoli: riga danneggiata 2 (riga 3 di codean)");
  ExpectPreviousExportKept();

  Codean(barcodes);
  tables_.Put(kDataDb, "listi01", MemoryTable{{"codart"}, {{int32_t{1}}}, 0});
  EXPECT_EQ(RunFailing(),
            "ERRORE : esportazione articoli: riga danneggiata 0 (riga 1 di codean, articolo 1, "
            "codice a barre 8000000000001)");
  ExpectPreviousExportKept();
}

TEST_F(ArticleExportTest, MissingExportFolderEndsTheExport) {
  disk_.folders = {"c:\\orbis\\bkp\\"};
  Codean({Barcode(kNull, int32_t{1}, std::string("8000000000001"))});
  Listi01({Price(1)});

  const std::string message = RunFailing();
  EXPECT_TRUE(
      message.starts_with("ERRORE : esportazione articoli: impossibile aprire " + ExportTempPath()))
      << message;
  EXPECT_FALSE(disk_.Has(kExportPath));
}

// ---- A data database that the shop's software writes during the export -------------------

// The data database as the shop's software writes to it each time codean is opened, for the first
// `writes` openings; while it writes, listi01 reads as damaged when `torn` is set.
class WrittenDuringTheExport : public db::TableSource {
 public:
  WrittenDuringTheExport(InMemoryTables& tables, FakeFileStamps& stamps, int writes, bool torn)
      : tables_(tables), stamps_(stamps), writes_(writes), torn_(torn) {
    stamps_.stamps[kDataDb] = platform::FileStamp{8192, 0};
  }
  std::unique_ptr<db::RowCursor> OpenTable(const std::string& database,
                                           const std::string& table) override {
    if (table == "codean") {
      ++openings;
      if (writing_ = writes_-- > 0; writing_) stamps_.Write(kDataDb);
    }
    if (table == "listi01" && writing_ && torn_)
      throw FatalError("la tabella listi01 è danneggiata");
    return tables_.OpenTable(database, table);
  }
  std::vector<std::unique_ptr<db::RowCursor>> OpenTableParts(const std::string& database,
                                                             const std::string& table,
                                                             uint32_t) override {
    std::vector<std::unique_ptr<db::RowCursor>> parts;
    parts.push_back(OpenTable(database, table));
    return parts;
  }
  int openings = 0;

 private:
  InMemoryTables& tables_;
  FakeFileStamps& stamps_;
  int writes_;
  bool torn_;
  bool writing_ = false;
};

class ChangingDatabaseTest : public ArticleExportTest {
 protected:
  ChangingDatabaseTest() {
    Codean({Barcode(kNull, int32_t{1}, std::string("8001234567890"))});
    Listi01({Price(1)});
    disk_.Put(kExportPath, {"previous"});
  }

  // The export's outcome: "written", or the message of its fatal error.
  std::string Export(WrittenDuringTheExport& source) {
    db::DataSource codean(source);
    db::DataSource listi01(source);
    pauses_.clear();
    try {
      return ExportArticles(kDataDb, codean, listi01, files_, fs_, stamps_, sleep_) ? "written"
                                                                                    : "nothing";
    } catch (const FatalError& error) {
      return ReportLine(error);
    }
  }
};

TEST_F(ChangingDatabaseTest, ADatabaseWrittenDuringTheExportIsReadAgain) {
  for (bool torn : {false, true}) {
    WrittenDuringTheExport source(tables_, stamps_, 2, torn);
    EXPECT_EQ(Export(source), "written") << torn;
    EXPECT_EQ(source.openings, 3);
    EXPECT_EQ(pauses_, (std::vector<milliseconds>{milliseconds(200), milliseconds(200)}));
    EXPECT_EQ(Exported(), std::vector<std::string>{kLatteLine});
    EXPECT_FALSE(disk_.Has(ExportTempPath()));
    disk_.Put(kExportPath, {"previous"});
  }
}

TEST_F(ChangingDatabaseTest, ADatabaseThatKeepsChangingEndsTheRun) {
  for (bool torn : {false, true}) {
    WrittenDuringTheExport source(tables_, stamps_, 3, torn);
    EXPECT_EQ(Export(source),
              "ERRORE : il database C:\\ORBIS\\DATI.MDB è cambiato mentre veniva letto, 3 volte "
              "di seguito: l'esportazione non è stata pubblicata")
        << torn;
    EXPECT_EQ(source.openings, 3);
    EXPECT_EQ(pauses_, (std::vector<milliseconds>{milliseconds(200), milliseconds(200)}));
    ExpectPreviousExportKept();
  }
}

TEST_F(ChangingDatabaseTest, DamageOfAFileThatStaysTheSameIsReportedAtOnce) {
  WrittenDuringTheExport source(tables_, stamps_, 0, false);
  tables_.Put(kDataDb, "listi01", MemoryTable{{"codart"}, {{int32_t{1}}}, 0});
  EXPECT_NE(Export(source).find("riga danneggiata 0"), std::string::npos);
  EXPECT_EQ(source.openings, 1);
  EXPECT_TRUE(pauses_.empty());
  ExpectPreviousExportKept();
}

}  // namespace
}  // namespace catpub::publish
