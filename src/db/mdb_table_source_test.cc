// The real table source end to end: Access 2000 files made by the project's writer, read through
// the real reader process. Damaged files are writer files patched as damage is found in the field.
#include "db/mdb_table_source.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <cstring>
#include <limits>
#include <random>

#include "db/data_source.h"
#include "db/mdb_table_source_fixture.h"
#include "db/reader/jet_format.h"
#include "mdbwriter/every_type.h"
#include "platform/address_sanitizer.h"
#include "support/wine.h"

namespace catpub::db {
namespace {

using mdbwriter::ColumnType;
using std::chrono::milliseconds;

mdbwriter::Table EveryType() {
  const std::string accented = "Società Ω € 漢字 ÀÉÎÕÜ àéîõü";
  mdbwriter::Table table{"tipi", mdbwriter::EveryTypeColumns(), {}, {}};
  table.rows = {
      {false, uint8_t{0}, int16_t{-32768}, std::numeric_limits<int32_t>::min(),
       Currency{std::numeric_limits<int64_t>::min()}, -FLT_MAX, -DBL_MAX, DateTime{-657434.0},
       std::string(), std::string()},
      {true, uint8_t{255}, int16_t{32767}, std::numeric_limits<int32_t>::max(),
       Currency{std::numeric_limits<int64_t>::max()}, FLT_MAX, DBL_MAX, DateTime{2958465.999988426},
       LongText(255, "àbc€"), std::string("città")},
      {false, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
       std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}},
      {true, uint8_t{200}, int16_t{-1}, int32_t{7}, Currency{123456789}, 0.1f, 33.333333333333336,
       DateTime{45000.5}, accented, LongText(200000, accented)},
      {false, uint8_t{1}, int16_t{0}, int32_t{-1}, Currency{-1}, FLT_TRUE_MIN, DBL_TRUE_MIN,
       DateTime{0.0}, std::string("a"), LongText(70000, "plain ASCII text, ")},
  };
  return table;
}

TEST_F(MdbTableSourceTest, ReadsEveryTypeExactlyWithNullsExtremesAndLongMemos) {
  mdbwriter::Table table = EveryType();
  Write({table});
  MdbTableSource source = Source();
  std::unique_ptr<RowCursor> cursor = source.OpenTable(kData, "tipi");
  EXPECT_EQ(cursor->Columns(),
            (std::vector<std::string>{"sino", "byte", "intero", "lungo", "valuta", "singolo",
                                      "doppio", "data", "testo", "nota"}));
  Rows rows;
  std::vector<Value> row;
  while (cursor->Next(row)) rows.push_back(row);
  ASSERT_EQ(rows.size(), table.rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      EXPECT_EQ(rows[r][c], table.rows[r][c]) << "row " << r << " column " << c;
    }
  }
  EXPECT_EQ(files_.translated().back(), kData);
}

TEST_F(MdbTableSourceTest, ReadsManyRowsInStoredOrder) {
  constexpr int32_t kRows = 75000;
  int32_t next = 0;
  mdbwriter::Table table{"righe",
                         {{"codice", ColumnType::kLong},
                          {"nome", ColumnType::kText, 40},
                          {"prezzo", ColumnType::kCurrency}},
                         {},
                         [&next](std::vector<Value>& row) {
                           if (next == kRows) return false;
                           row = {int32_t{next * 3}, "articolo " + std::to_string(next),
                                  Currency{int64_t{next} * 12345}};
                           ++next;
                           return true;
                         }};
  Write({table});
  MdbTableSource source = Source();
  Rows rows = ReadAll(source, "righe");
  ASSERT_EQ(rows.size(), size_t{kRows});
  for (int32_t i = 0; i < kRows; ++i) {
    ASSERT_EQ(rows[i], (std::vector<Value>{int32_t{i * 3}, "articolo " + std::to_string(i),
                                           Currency{int64_t{i} * 12345}}))
        << "row " << i;
  }

  // Shared among readers, the parts together are the same rows in the same order.
  for (uint32_t parts : {2u, 3u}) {
    std::vector<size_t> sizes;
    EXPECT_EQ(ReadParts(source, "righe", parts, &sizes), rows) << parts << " parts";
    ASSERT_EQ(sizes.size(), parts);
    for (size_t size : sizes) EXPECT_GT(size, size_t{kRows} / parts / 2) << parts << " parts";
  }
  // A table of one page: the first part has it all.
  Write({{"uno", {{"codice", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  EXPECT_EQ(ReadParts(source, "uno", 2), (Rows{{int32_t{1}}}));
}

TEST_F(MdbTableSourceTest, TablesAndColumnsMatchWithoutCaseAccentsIncluded) {
  Write({{"Società",
          {{"CodUte", ColumnType::kInteger}, {"DataBase", ColumnType::kText, 120}},
          {{int16_t{1}, std::string("c:\\Orbis\\Dati.mdb")}},
          {}}});
  MdbTableSource source = Source();
  EXPECT_EQ(ReadAll(source, "SOCIETÀ").size(), 1u);
  DataSource var(source);
  var.SetDatabaseName(kData);
  var.SetRecordSource("select * from società where codute = 1 ");
  var.Refresh();
  ASSERT_FALSE(var.Eof());
  EXPECT_EQ(std::get<std::string>(var.Field("DATABASE")), "c:\\Orbis\\Dati.mdb");
  EXPECT_EQ(std::get<int16_t>(var.Field("codute")), 1);
}

TEST_F(MdbTableSourceTest, WhereQueriesThroughTheRealSourceGiveTheFirstStoredMatch) {
  Write({{"listi01",
          {{"codart", ColumnType::kLong}, {"desart", ColumnType::kText, 50}},
          {{int32_t{7}, std::string("first")},
           {std::monostate{}, std::string("null code")},
           {int32_t{7}, std::string("second")},
           {int32_t{-5}, std::string("negative")},
           {int32_t{200}, std::string("two hundred")}},
          {}},
         {"codici",
          {{"byte", ColumnType::kByte},
           {"valuta", ColumnType::kCurrency},
           {"doppio", ColumnType::kDouble},
           {"nome", ColumnType::kText, 10}},
          {{uint8_t{200}, Currency{90000}, 8.5, std::string("a")},
           {std::monostate{}, std::monostate{}, 3.0, std::string("b")}},
          {}}});
  MdbTableSource source = Source();
  DataSource data(source);
  auto lookup = [&data](const std::string& sql) -> std::string {
    data.SetDatabaseName(kData);
    data.SetRecordSource(sql);
    data.Refresh();
    if (data.Eof()) return "<eof>";
    return std::get<std::string>(
        data.Field(sql.find("listi01") != std::string::npos ? "desart" : "nome"));
  };
  EXPECT_EQ(lookup("select * from listi01 where codart = 7"), "first");
  EXPECT_EQ(lookup("select * from listi01 where codart = -5"), "negative");
  EXPECT_EQ(lookup("select * from listi01 where codart = 0"), "<eof>");
  EXPECT_EQ(lookup("select * from listi01 where codart = 200"), "two hundred");
  EXPECT_EQ(lookup("select * from codici where byte = 200"), "a");
  EXPECT_EQ(lookup("select * from codici where byte = -56"), "<eof>");
  EXPECT_EQ(lookup("select * from codici where valuta = 9"), "a");
  EXPECT_EQ(lookup("select * from codici where doppio = 8"), "<eof>");
  EXPECT_EQ(lookup("select * from codici where doppio = 3"), "b");
  data.SetRecordSource("select * from listi01 where nessuna = 1");
  EXPECT_THROW(data.Refresh(), FatalError);
}

TEST_F(MdbTableSourceTest, MissingTableIsNamedNotCalledDamage) {
  Write({{"codean", {{"codare", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  MdbTableSource source = Source();
  EXPECT_EQ(Failure(source, "listi01", kSlack),
            "la tabella listi01 non esiste in C:\\ORBIS\\DATI.MDB");
}

// ---- Files that are no Access 2000 database -------------------------------------------------

TEST_F(MdbTableSourceTest, ForeignFilesAreRefusedBeforeAnyReaderRuns) {
  Write({{"codean", {{"codare", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  const std::string good = Bytes(Local(kData));
  std::string ace = good;
  std::memcpy(&ace[4], "Standard ACE DB", 15);
  ace[0x14] = 2;
  std::string jet3 = good;
  jet3[0x14] = 0;
  std::mt19937 random(7);
  std::string noise(2 * kPage, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::filesystem::create_directories(Local("C:\\ORBIS\\CARTELLA.MDB"));

  const struct {
    const char* path;
    std::optional<std::string> contents;
    const char* expected;
  } cases[] = {
      {"C:\\ORBIS\\MANCA.MDB", std::nullopt, "il database C:\\ORBIS\\MANCA.MDB non esiste"},
      {"C:\\ORBIS\\CARTELLA.MDB", std::nullopt, "C:\\ORBIS\\CARTELLA.MDB è una cartella"},
      {"C:\\ORBIS\\VUOTO.MDB", "", "il database C:\\ORBIS\\VUOTO.MDB è vuoto"},
      {"C:\\ORBIS\\TESTO.MDB", "codart;desart\r\n1;vite\r\n",
       "C:\\ORBIS\\TESTO.MDB non è un database Access"},
      {"C:\\ORBIS\\CASO.MDB", noise, "C:\\ORBIS\\CASO.MDB non è un database Access"},
      {"C:\\ORBIS\\NUOVO.MDB", ace, "C:\\ORBIS\\NUOVO.MDB è un database Access 2007 o successivo"},
      {"C:\\ORBIS\\VECCHIO.MDB", jet3, "C:\\ORBIS\\VECCHIO.MDB è un database Access 97 (Jet 3)"},
      {"C:\\ORBIS\\CORTO.MDB", good.substr(0, good.size() - 100),
       "il database C:\\ORBIS\\CORTO.MDB è troncato"},
  };
  // A reader that cannot even start would be noticed: the checks come first.
  MdbTableSource source = Source(kIdleLimit, root_ / "no-reader");
  for (const auto& c : cases) {
    if (c.contents) Put(Local(c.path), *c.contents);
    EXPECT_TRUE(Failure(source, "codean", kSlack, c.path).starts_with(c.expected)) << c.path;
  }
}

// ---- Damaged files: the reader reports damage or is stopped; this process goes on ------------
// (Damaged property blobs, which make libmdb's own catalog reading loop or allocate without end,
// have no test: the reader walks the catalog itself and never reads a property blob.)

class DamagedFileTest : public MdbTableSourceTest {
 protected:
  // A database of one table with a long Memo (a chain of pages), and its bytes.
  std::string WriteArticles() {
    int32_t next = 0;
    Write({{"articoli",
            {{"codart", ColumnType::kLong},
             {"desart", ColumnType::kText, 50},
             {"nota", ColumnType::kMemo}},
            {},
            [&next](std::vector<Value>& row) {
              if (next == 3000) return false;
              row = {int32_t{next}, "articolo " + std::to_string(next),
                     next == 0 ? Value(LongText(30000, "testo lungo ")) : Value(std::monostate{})};
              ++next;
              return true;
            }}});
    return Bytes(Local(kData));
  }

  size_t TableDefinitionPage(const std::string& file) {
    for (size_t page : Pages(file, 0x02)) {
      if (page != 2) return page;
    }
    ADD_FAILURE() << "no table definition page";
    return 0;
  }

  void ExpectDamaged(const std::string& file, const std::string& detail = "") {
    Put(Local(kData), file);
    MdbTableSource source = Source(kIdleLimit);
    std::string message = Failure(source, "articoli", kIdleLimit + kSlack);
    EXPECT_TRUE(
        message.starts_with("database danneggiato o illeggibile: C:\\ORBIS\\DATI.MDB, tabella "
                            "articoli: "))
        << message;
    EXPECT_NE(message.find(detail), std::string::npos) << message;
  }
};

TEST_F(DamagedFileTest, UsageMapPointingAtAnEmptyRow) {
  std::string file = WriteArticles();
  // Offset 55 of a definition page is the row number of its usage map; rows past the page's last
  // one are empty. libmdb dereferences a null map there.
  std::string table = file;
  table[TableDefinitionPage(file) * kPage + 55] = 9;
  ExpectDamaged(table, "mappa delle pagine della tabella articoli");
  std::string catalog = file;
  catalog[2 * kPage + 55] = 9;
  ExpectDamaged(catalog, "mappa delle pagine della tabella MSysObjects");
}

TEST_F(DamagedFileTest, LongValueChainPointingAtItself) {
  std::string file = WriteArticles();
  std::vector<size_t> long_values = Pages(file, 0x01, 0x4C41564C);
  ASSERT_FALSE(long_values.empty());
  size_t page = long_values.front();
  size_t row0 = U32(file, page * kPage + 14) & 0x1fff;
  PutU32(file, page * kPage + row0, static_cast<uint32_t>(page << 8));
  ExpectDamaged(file, "ciclo");
}

TEST_F(DamagedFileTest, VariableColumnOffsetOutsideThePage) {
  std::string file = WriteArticles();
  size_t page = Pages(file, 0x01, static_cast<uint32_t>(TableDefinitionPage(file))).front();
  // Row 0 ends at the end of the page: its null mask, then the offsets of its variable columns.
  size_t start = (U32(file, page * kPage + 14) & 0x1fff) + page * kPage;
  size_t columns = static_cast<uint8_t>(file[start]);
  size_t end = (page + 1) * kPage - 1;
  PutU16(file, end - (columns + 7) / 8 - 3, 0x0fff);
  ExpectDamaged(file, "la tabella articoli è danneggiata: riga 1 (pagina");
}

TEST_F(DamagedFileTest, TruncatedByAFewPages) {
  std::string file = WriteArticles();
  ExpectDamaged(file.substr(0, file.size() - 3 * kPage));
}

TEST_F(DamagedFileTest, ZeroedCatalogPage) {
  std::string file = WriteArticles();
  std::fill_n(file.begin() + 2 * kPage, kPage, '\0');
  ExpectDamaged(file, "definizione della tabella MSysObjects");
}

TEST_F(DamagedFileTest, RowCountOfADataPageChanged) {
  std::string file = WriteArticles();
  const size_t page = Pages(file, 0x01, static_cast<uint32_t>(TableDefinitionPage(file))).front();
  const size_t at = page * kPage;
  const auto rows = static_cast<uint16_t>(U32(file, at + 12));
  // Lowered: the last row of the page is lost, which the table's count tells, also when the rows
  // of all the parts are counted together.
  std::string lowered = file;
  PutU16(lowered, at + 12, rows - 1);
  ExpectDamaged(lowered, "contiene 3000 righe ma se ne leggono 2999");
  Put(Local(kData), lowered);
  MdbTableSource source = Source(kIdleLimit);
  try {
    ReadParts(source, "articoli", 2);
    ADD_FAILURE() << "a lost row went unnoticed";
  } catch (const FatalError& error) {
    EXPECT_NE(std::string(error.what()).find("contiene 3000 righe ma se ne leggono 2999"),
              std::string::npos)
        << error.what();
  }
  // Raised: the new row's offset is the free space below the rows, which leads into the page's
  // header.
  std::string raised = file;
  PutU16(raised, at + 12, rows + 1);
  ExpectDamaged(raised, "la tabella articoli è danneggiata: la riga " + std::to_string(rows) +
                            " della pagina " + std::to_string(page) +
                            " esce dallo spazio delle righe");
  // Raised beyond what a page holds.
  std::string impossible = file;
  PutU16(impossible, at + 12, 256);
  ExpectDamaged(impossible, "la pagina " + std::to_string(page) +
                                " conta 256 righe, più di quante una pagina ne tenga");
}

TEST_F(DamagedFileTest, RandomPagesAfterAValidHeader) {
  std::string file = WriteArticles();
  std::mt19937 random(11);
  for (size_t i = kPage; i < file.size(); ++i) file[i] = static_cast<char>(random());
  ExpectDamaged(file);
}

TEST_F(MdbTableSourceTest, ReaderOverItsMemoryLimitIsAFailureNotACrash) {
#ifdef CATPUB_ASAN
  GTEST_SKIP() << "the address-space limit does not apply under AddressSanitizer";
#endif
  if (testing::RunningUnderWine()) {
    GTEST_SKIP() << "Wine accepts a Job object's memory limit but does not enforce it";
  }
  // Two million euro signs: 4 MB stored, 6 MB once decoded.
  Write({{"note", {{"nota", ColumnType::kMemo}}, {{LongText(2000000, "€")}}, {}}});
  ReaderOptions options;
  options.executable = CATPUB_READER_EXE;
  options.memory_limit_mb = 2;
  MdbTableSource source(files_, options);
  EXPECT_TRUE(Failure(source, "note", kSlack).starts_with("database danneggiato o illeggibile"));
  options.memory_limit_mb = 64;
  MdbTableSource roomy(files_, options);
  EXPECT_EQ(ReadAll(roomy, "note"), Rows{{LongText(2000000, "€")}});
}

// ---- Rows that Access moved to another page ------------------------------------------------

// Article i (from 1) has code i and "articolo i"; row 4 repeats the code of row 3.
mdbwriter::Table MovedArticles(int32_t rows, std::vector<uint64_t> moved) {
  int32_t next = 0;
  mdbwriter::Table table{"listi01",
                         {{"codart", ColumnType::kLong}, {"desart", ColumnType::kText, 50}},
                         {},
                         [next, rows](std::vector<Value>& row) mutable {
                           if (next == rows) return false;
                           ++next;
                           row = {int32_t{next == 4 ? 3 : next},
                                  next == 4 ? "doppione" : "articolo " + std::to_string(next)};
                           return true;
                         }};
  table.moved_rows = std::move(moved);
  return table;
}

Rows Generated(const mdbwriter::Table& table) {
  Rows rows;
  std::vector<Value> row;
  for (auto generate = table.generate; generate(row);) rows.push_back(row);
  return rows;
}

TEST_F(MdbTableSourceTest, MovedRowsAreReadInTheirPlacesAlsoInParts) {
  // Rows moved on the first page, the last rows, a row moved twice, every 40th, and a run in the
  // middle: their data lies on pages after their places. Shared between two readers, some pointers
  // of the first part lead into the pages of the second; among three, some of the third part's
  // lead back into the pages of the second.
  std::vector<uint64_t> moved = {3, 5, 5, 2999, 3000};
  for (uint64_t row = 40; row < 3000; row += 40) moved.push_back(row);
  for (uint64_t row = 1000; row < 1600; ++row) moved.push_back(row);
  const mdbwriter::Table table = MovedArticles(3000, moved);
  // Many tables, the price list among them, whose catalog rows were moved too.
  std::vector<mdbwriter::Table> tables;
  for (int i = 0; i < 60; ++i) {
    tables.push_back({"tabella_" + std::to_string(i), {{"n", ColumnType::kLong}}, {{i}}, {}});
    tables.back().catalog_row_moved = i % 2 == 0;
  }
  tables.insert(tables.begin() + 30, table);
  tables[30].catalog_row_moved = true;
  Write(tables);

  MdbTableSource source = Source();
  const Rows expected = Generated(table);
  EXPECT_EQ(ReadAll(source, "listi01"), expected);
  for (uint32_t parts : {2u, 3u}) {
    EXPECT_EQ(ReadParts(source, "listi01", parts), expected) << parts << " parts";
  }
  EXPECT_EQ(ReadAll(source, "tabella_58"), (Rows{{int32_t{58}}}));
  EXPECT_EQ(ReadAll(source, "tabella_59"), (Rows{{int32_t{59}}}));

  // The first row for code 3 is row 3, although its data lies after row 4 in the file.
  DataSource data(source);
  data.SetDatabaseName(kData);
  data.SetRecordSource("select * from listi01 where codart = 3");
  data.Refresh();
  ASSERT_FALSE(data.Eof());
  EXPECT_EQ(std::get<std::string>(data.Field("desart")), "articolo 3");
}

class MovedRowDamageTest : public DamagedFileTest {
 protected:
  // A table of 3000 articles whose row 2 was moved `moves` times, and the file's bytes.
  std::string WriteMoved(size_t moves = 1) {
    Write({[moves] {
      mdbwriter::Table table = MovedArticles(3000, std::vector<uint64_t>(moves, 2));
      table.name = "articoli";
      return table;
    }()});
    file_ = Bytes(Local(kData));
    definition_ = TableDefinitionPage(file_);
    return file_;
  }

  // The file offset of the offset-table entry of the first row of the table whose flags are
  // exactly `flags`.
  size_t FlaggedSlot(uint16_t flags) {
    for (size_t page : Pages(file_, 0x01, static_cast<uint32_t>(definition_))) {
      const size_t rows = U32(file_, page * kPage + 12) & 0xffff;
      for (size_t row = 0; row < rows; ++row) {
        const size_t at = page * kPage + 14 + 2 * row;
        if ((U32(file_, at) & 0xC000) == flags) return at;
      }
    }
    ADD_FAILURE() << "no row with flags " << flags;
    return 0;
  }

  // The file offset of the data of the row whose offset-table entry is at `slot`.
  size_t RowAt(size_t slot) const { return slot / kPage * kPage + (U32(file_, slot) & 0x1fff); }

  // The file with the pointer at `slot` leading to row `row` of page `page`.
  std::string PointingAt(size_t slot, uint32_t page, uint32_t row) const {
    std::string file = file_;
    PutU32(file, RowAt(slot), page << 8 | row);
    return file;
  }

  std::string file_;
  size_t definition_ = 0;
};

TEST_F(MovedRowDamageTest, DamagedPointersAreDamageNamingTableAndPlace) {
  WriteMoved();
  const size_t pointer = FlaggedSlot(0x4000);
  const size_t first_page = Pages(file_, 0x01, static_cast<uint32_t>(definition_)).front();
  ASSERT_EQ(pointer, first_page * kPage + 14 + 2);  // row 1 of the table's first page
  const std::string here = "la tabella articoli è danneggiata: la riga 1 della pagina " +
                           std::to_string(first_page) + ", spostata, rimanda ";
  const auto pages = static_cast<uint32_t>(file_.size() / kPage);

  ExpectDamaged(PointingAt(pointer, pages, 0),
                here + "alla pagina " + std::to_string(pages) + ", oltre la fine del file");
  ExpectDamaged(PointingAt(pointer, 0xFFFFFF, 0), "oltre la fine del file");
  ExpectDamaged(PointingAt(pointer, 2, 0), here +
                                               "alla pagina 2, che non è una pagina di dati "
                                               "della tabella articoli");
  ExpectDamaged(PointingAt(pointer, static_cast<uint32_t>(first_page), 200),
                here + "alla riga 200 della pagina " + std::to_string(first_page) +
                    ", che non ha quella riga");
  // At an ordinary row, which the walk reads in its own place.
  ExpectDamaged(PointingAt(pointer, static_cast<uint32_t>(first_page), 0),
                here + "alla riga 0 della pagina " + std::to_string(first_page) +
                    ", che non è una riga spostata");

  // A pointer of two bytes.
  std::string short_pointer = file_;
  const auto before = static_cast<uint16_t>(U32(file_, pointer - 2) & 0x1fff);
  PutU16(short_pointer, pointer, static_cast<uint16_t>((before - 2) | 0x4000));
  ExpectDamaged(short_pointer, "la riga 1 della pagina " + std::to_string(first_page) +
                                   " è spostata ma il suo puntatore è più corto di 4 byte");
}

TEST_F(MovedRowDamageTest, ChainsThatLoopOrRunOnAreDamage) {
  WriteMoved(2);
  // The middle of the chain points at itself.
  const size_t middle = FlaggedSlot(0xC000);
  const auto page = static_cast<uint32_t>(middle / kPage);
  const auto row = static_cast<uint32_t>((middle % kPage - 14) / 2);
  ExpectDamaged(
      PointingAt(middle, page, row),
      "rimanda in cerchio (pagina " + std::to_string(page) + ", riga " + std::to_string(row) + ")");
  // Moved more often than Access ever moves a row.
  WriteMoved(reader::jet::kMostMoves);
  Put(Local(kData), file_);
  MdbTableSource source = Source();
  EXPECT_EQ(ReadAll(source, "articoli").size(), 3000u);
  ExpectDamaged(WriteMoved(reader::jet::kMostMoves + 1), "rimanda oltre 8 volte");
}

// ---- Stored row counts are advice; the page map bounds the walk -----------------------------

class PageWalkTest : public MovedRowDamageTest {
 protected:
  // The file offset of the row count stored in the definition on page `definition`.
  static size_t StoredCountAt(size_t definition) { return definition * kPage + 16; }

  // The file offset of the first byte (the type) of the usage map of the table whose definition is
  // on page `definition`: its row number is at 55 of the definition, its page at 56.
  size_t UsageMapAt(size_t definition) const {
    const size_t at = definition * kPage;
    const size_t page = U32(file_, at + 56) & 0xFFFFFF;
    const size_t row = static_cast<uint8_t>(file_[at + 55]);
    return page * kPage + (U32(file_, page * kPage + 14 + 2 * row) & 0x1fff);
  }

  // Reads articoli whole and in two and three parts: each gives `expected`.
  void ExpectRows(const std::string& file, const Rows& expected) {
    Put(Local(kData), file);
    MdbTableSource source = Source(kIdleLimit);
    EXPECT_EQ(ReadAll(source, "articoli"), expected);
    for (uint32_t parts : {2u, 3u}) {
      EXPECT_EQ(ReadParts(source, "articoli", parts), expected) << parts << " parts";
    }
  }

  // Reads articoli whole and in two parts: each fails with `detail`.
  void ExpectDamagedAlsoInParts(const std::string& file, const std::string& detail) {
    ExpectDamaged(file, detail);
    MdbTableSource source = Source(kIdleLimit);
    try {
      ReadParts(source, "articoli", 2);
      ADD_FAILURE() << "read in parts without damage: " << detail;
    } catch (const FatalError& error) {
      EXPECT_NE(std::string(error.what()).find(detail), std::string::npos) << error.what();
    }
  }

  Rows Expected() const {
    mdbwriter::Table table = MovedArticles(3000, {2});
    return Generated(table);
  }
};

TEST_F(PageWalkTest, AStoredCountShortOfTheRowsIsNoBoundWholeOrInPartsCatalogIncluded) {
  WriteMoved();
  // One short, as Access leaves it after moving a row; then far short, also for the parts after
  // the first.
  for (uint32_t stored : {2999u, 2000u, 0u}) {
    std::string file = file_;
    PutU32(file, StoredCountAt(definition_), stored);
    ExpectRows(file, Expected());
  }
  // The catalog (defined on page 2) one short of its rows.
  std::string file = file_;
  PutU32(file, StoredCountAt(2), U32(file, StoredCountAt(2)) - 1);
  ExpectRows(file, Expected());
}

TEST_F(PageWalkTest, AStoredCountAboveTheRowsIsDamageWholeOrInParts) {
  // Rows moved all over the table, their data sometimes in the pages of another part: the slots
  // that data takes are no deleted rows.
  std::vector<uint64_t> moved;
  for (uint64_t row = 7; row <= 3000; row += 97) moved.push_back(row);
  mdbwriter::Table table = MovedArticles(3000, moved);
  table.name = "articoli";
  table.stored_rows = 3001;
  Write({table});
  ExpectDamagedAlsoInParts(Bytes(Local(kData)),
                           "la tabella articoli contiene 3001 righe ma se ne leggono 3000");
  WriteMoved();
  std::string file = file_;
  PutU32(file, StoredCountAt(2), U32(file, StoredCountAt(2)) + 1);
  ExpectDamaged(file, "la tabella MSysObjects contiene");
}

TEST_F(PageWalkTest, DeletedRowsTheCountStillHoldsAreNoLossButALostPageIs) {
  WriteMoved();
  const std::vector<size_t> pages = Pages(file_, 0x01, static_cast<uint32_t>(definition_));
  ASSERT_GT(pages.size(), 4u);
  // A row deleted in the second half of the table, its slot flagged and the count left as it was,
  // as the Jet engine leaves them.
  const size_t page = pages[pages.size() - 2];
  size_t rows_before = 0;  // rows in their places on the pages before it
  for (size_t p = 0; pages[p] != page; ++p) {
    for (size_t row = 0; row < (U32(file_, pages[p] * kPage + 12) & 0xffff); ++row) {
      rows_before += (U32(file_, pages[p] * kPage + 14 + 2 * row) & 0x8000) == 0 ? 1 : 0;
    }
  }
  std::string file = file_;
  const size_t slot = page * kPage + 14;
  PutU16(file, slot, static_cast<uint16_t>((U32(file, slot) & 0x1fff) | 0x8000));
  Rows expected = Expected();
  expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(rows_before));
  ExpectRows(file, expected);
  // A page of the table lost (zeroed): the map still names it, and its rows are missing.
  file = file_;
  std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(page * kPage), kPage, '\0');
  const size_t lost = U32(file_, page * kPage + 12) & 0xffff;
  ExpectDamagedAlsoInParts(file, "la tabella articoli contiene 3000 righe ma se ne leggono " +
                                     std::to_string(3000 - lost));
}

TEST_F(PageWalkTest, AMapNamingAPagePastTheFileIsDamageNamingThePage) {
  WriteMoved();
  const size_t map = UsageMapAt(definition_);
  ASSERT_EQ(file_[map], 0) << "an inline map";
  const auto pages = static_cast<uint32_t>(file_.size() / kPage);
  // The map's bitmap moved to start at the end of the file: its first page lies past it.
  std::string file = file_;
  const uint32_t first = U32(file_, map + 1);
  PutU32(file, map + 1, pages);
  std::string named;
  for (size_t bit = 0; named.empty(); ++bit) {
    if (static_cast<uint8_t>(file_[map + 5 + bit / 8]) >> (bit % 8) & 1) {
      named = std::to_string(pages + bit);
    }
  }
  ExpectDamagedAlsoInParts(file,
                           "la tabella articoli è danneggiata: la mappa delle pagine nomina "
                           "la pagina " +
                               named + ", oltre la fine del file");
  // The file cut after the table's first data page: the map still names the lost ones.
  ExpectDamaged(file_.substr(0, (first + 1) * kPage), "oltre la fine del file");
}

TEST_F(PageWalkTest, PagesOfTheMapThatAreNotTheTablesArePassedOver) {
  WriteMoved();
  const size_t map = UsageMapAt(definition_);
  const uint32_t first = U32(file_, map + 1);
  // Every page from the map's first to the end of the file named, the long-value pages and other
  // tables' pages among them.
  std::string file = file_;
  for (size_t page = first; page < file_.size() / kPage; ++page) {
    const size_t bit = page - first;
    file[map + 5 + bit / 8] = static_cast<char>(file[map + 5 + bit / 8] | 1 << (bit % 8));
  }
  ExpectRows(file, Expected());
}

TEST_F(PageWalkTest, AMapOfAnotherKindIsWalkedPageByPageOnceAndEnds) {
  // libmdb cannot read such a map and walks the file page after page; with a moved row on the
  // first page its walk used to take the same page again and again, without end.
  WriteMoved();
  std::string file = file_;
  file[UsageMapAt(definition_)] = 7;
  ExpectRows(file, Expected());
  // Also with a stored count short of the rows, which no longer stops a walk.
  PutU32(file, StoredCountAt(definition_), 2999);
  ExpectRows(file, Expected());
}

}  // namespace
}  // namespace catpub::db
