// The built program's article export on real Access files, headless, compared byte for byte with
// the golden files of tests/golden. The upload that follows an export goes to the compiled-in
// publication server of catalog-publisher-export-e2e, which these tests keep unreachable: a written
// export then ends with status 2 and the local file stays in place to be compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <regex>
#include <string_view>
#include <thread>

#include "publish_settings.h"
#include "support/refused_port.h"
#include "support/run_program.h"
#include "support/shop.h"

namespace catpub {
namespace {

using mdbwriter::ColumnType;
using testing::ReadBytes;
using testing::Row;
using testing::Utenti;

constexpr db::Value kNull = std::monostate{};
constexpr char kOldExport[] = "vecchio catalogo;\r\n";

db::Currency Euro(int64_t ten_thousandths) { return db::Currency{ten_thousandths}; }

std::string Unstamped(const std::string& log) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d-)");
  return std::regex_replace(log, stamp, "<stamp>-");
}

// A line of standard error (UTF-8) as the run log holds it (Windows-1252). The messages' accented
// letters are all in Latin-1, which Windows-1252 keeps at the same codes.
std::string AsLogged(const std::string& line) {
  std::string logged;
  for (size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if ((byte == 0xC2 || byte == 0xC3) && i + 1 < line.size()) {
      logged += static_cast<char>(((byte & 0x03) << 6) | (line[++i] & 0x3F));
    } else {
      logged += line[i];
    }
  }
  return logged;
}

// What a successful start-up logs for a data database at C:\ORBIS\DATI.MDB.
constexpr char kStartUpLog[] =
    "<stamp>- Avvio programma\r\n"
    "<stamp>- Apro DB  C:\\ORBIS\\dati.mdb\r\n"
    "<stamp>- Apro DB  c:\\nodo\\orbis.mdb\r\n"
    "DB OK  \r\n"
    "CONTROLLO DB ORBIS OK\r\n"
    "<stamp>- Cassa 0 OK\r\n";

mdbwriter::Table CodeanTable(ColumnType colare, ColumnType codare, std::vector<Row> rows) {
  return {"codean",
          {{"colare", colare, 10}, {"codare", codare, 12}, {"eanare", ColumnType::kText, 20}},
          std::move(rows),
          {}};
}

// The shop's price list, its columns in the shop's own order rather than the export's, with a
// column the export does not read.
mdbwriter::Table Listi01Table(ColumnType prices, ColumnType ricart, std::vector<Row> rows) {
  return {"listi01",
          {{"codart", ColumnType::kLong},
           {"desart", ColumnType::kText, 60},
           {"codafo", ColumnType::kText, 20},
           {"desrep", ColumnType::kText, 40},
           {"ivart", ColumnType::kText, 2},
           {"przpub", prices},
           {"cosiva", prices},
           {"przsal", prices},
           {"ricart", ricart, 20},
           {"giacen", ColumnType::kLong}},
          std::move(rows),
          {}};
}

// A price row in the column order of Listi01Table.
Row Price(int32_t codart, std::string desart, db::Value codafo, std::string desrep,
          std::string ivart, db::Value przpub, db::Value cosiva, db::Value przsal,
          db::Value ricart) {
  return {codart,
          std::move(desart),
          std::move(codafo),
          std::move(desrep),
          std::move(ivart),
          przpub,
          cosiva,
          przsal,
          ricart,
          int32_t{12}};
}

struct Catalogue {
  const char* golden;  // file name under tests/golden
  mdbwriter::Table codean;
  mdbwriter::Table listi01;
};

void PrintTo(const Catalogue& catalogue, std::ostream* out) { *out << catalogue.golden; }

// The shop's usual layout: colare as text, codare Long, prices Currency, mark-up Double.
Catalogue MainCatalogue() {
  std::vector<Row> codean = {
      {kNull, int32_t{1001}, "8001234567890"},
      {"5", int32_t{1002}, "8001234567906"},   // excluded
      {"05", int32_t{1002}, "8001234567913"},  // excluded
      {"5A", int32_t{1002}, "8001234567920"},  // excluded
      {"50", int32_t{1002}, "8001234567937"},
      {"", int32_t{1005}, "8001234567944"},  // codafo Null right after a numeric one
      {"A5", int32_t{1003}, "80012345"},
      {" 5", int32_t{1001}, "8001234567951"},    // excluded: blanks are skipped
      {"5 0", int32_t{1004}, "80098765432109"},  // reads 50
      {kNull, int32_t{1006}, "8001234567968"},
      {kNull, int32_t{1007}, "8001234567975"},
      {kNull, int32_t{1008}, "8001234567982"},
      {kNull, int32_t{1009}, "8001234567999"},
      {kNull, int32_t{1010}, "8001234568002"},  // no price row
      {kNull, int32_t{1011}, "2000000010118"},
      {"0", int32_t{1001}, "2000000010019"},  // a second barcode of the first article
  };
  std::vector<Row> listi01 = {
      Price(1001, "LATTE", "123456", "ALIMENTARI", "4", Euro(25000), Euro(13500), Euro(19900),
            30.0),
      Price(1002, "PANE DI SEMOLA", "0012345", "PANETTERIA", "4", Euro(30000), Euro(0), Euro(28000),
            12.5),
      Price(1003, "CAFFÈ MACINATO; MISCELA ARABICA", "ABC", "BEVANDE", "22", Euro(59000),
            Euro(31234), Euro(49900), kNull),
      Price(1004, "PIEROGI ŁÓDŹ – RICETTA TRADIZIONALE", "", "GASTRONOMIA ESTERA", "10",
            Euro(35000), Euro(22000), Euro(34900), 33.333333333333336),
      Price(1005, "OLIO EXTRAVERGINE D'OLIVA 1L", kNull, "ALIMENTARI", "4", Euro(99000),
            Euro(51000), Euro(89000), 0.1 + 0.2),
      Price(1006, "PASTA DI SEMOLA DI GRANO DURO «PENNE RIGATE» 500 G", "12,5",
            "PASTA, RISO E CEREALI - SCAFFALE 12", "4", Euro(12000), Euro(6500), Euro(9900), -5.0),
      // Texts longer than their fields; codafo judged on its first 16 characters.
      Price(1007, "DETERSIVO LAVATRICE LIQUIDO MARSIGLIA 40 LAVAGGI 2 LT", "98765432109876543",
            "DROGHERIA", "22", Euro(79000), Euro(45000), Euro(69900), 0.0),
      Price(1008, "ROTOLO CARTA CUCINA", "1000000000000000", "CASALINGHI", "22", Euro(12345678000),
            Euro(1), Euro(-1000), 100.0),
      Price(1009, "DETERSIVO PIATTI LIMONE", " 42 ", "DROGHERIA", "22", Euro(21000), Euro(11000),
            Euro(18900), 25.0),
      // Only the first price row of an article counts.
      Price(1009, "DETERSIVO PIATTI (VECCHIO)", "99", "DROGHERIA", "22", Euro(1), Euro(1), Euro(1),
            1.0),
      Price(1011, "  MELE GOLDEN  ", "1234567890123456X", "ORTOFRUTTA", "", Euro(2500), Euro(1500),
            Euro(2490), 1e20),
  };
  return {"articoli_catalogo.csv", CodeanTable(ColumnType::kText, ColumnType::kLong, codean),
          Listi01Table(ColumnType::kCurrency, ColumnType::kDouble, listi01)};
}

// Numbers where the shop's other programs keep them as floating point: colare and codare Double,
// prices Double, mark-up Single.
Catalogue FloatingPointCatalogue() {
  std::vector<Row> codean = {
      {5.5, 2001.0, "8002000000011"},    // "5,5" reads 5: excluded
      {50.0, 2001.0, "8002000000028"},   // "50"
      {5.0, 2001.0, "8002000000035"},    // excluded
      {kNull, 2002.5, "8002000000042"},  // article 2002
      {0.5, 2003.5, "8002000000059"},    // article 2004
      {-5.0, 2003.4, "8002000000066"},   // article 2003
      {4.99, 2001.0, "8002000000073"},   // "4,99" reads 4
  };
  std::vector<Row> listi01 = {
      Price(2001, "ACQUA MINERALE NATURALE 6X1,5L", "500123", "BEVANDE", "22", 2.675, 0.1 + 0.2,
            1.5, 30.1f),
      Price(2002, "BISCOTTI FROLLINI", "7", "DOLCIARIA", "10", 2.0, 0.00005, 1.99, 0.1f),
      Price(2003, "YOGURT BIANCO", "8", "LATTICINI", "4", 0.89, 0.5, 0.79, 1234567.0f),
      Price(2004, "FORMAGGIO GRANA 200 G", "9", "LATTICINI", "4", 4.5, 2.0, 4.0, 12345678.0f),
      Price(2005, "NON RICHIESTO", "10", "VARIE", "22", 1.0, 1.0, 1.0, kNull),
  };
  return {"articoli_virgola_mobile.csv",
          CodeanTable(ColumnType::kDouble, ColumnType::kDouble, codean),
          Listi01Table(ColumnType::kDouble, ColumnType::kSingle, listi01)};
}

// colare Integer, codare as text, mark-up Currency.
Catalogue TextCodeCatalogue() {
  std::vector<Row> codean = {
      {int16_t{5}, " 3001 ", "8003000000010"},  // excluded
      {int16_t{50}, " 3001 ", "8003000000027"},
      {kNull, "3.002", "8003000000034"},        // article 3002
      {int16_t{0}, "3003,5", "8003000000041"},  // article 3004
  };
  std::vector<Row> listi01 = {
      Price(3001, "SAPONE LIQUIDO", "3001", "IGIENE", "22", Euro(25000), Euro(12000), Euro(22000),
            Euro(125000)),
      Price(3002, "SHAMPOO", "3002", "IGIENE", "22", Euro(45000), Euro(20000), Euro(39900),
            Euro(0)),
      Price(3004, "DENTIFRICIO", "3004", "IGIENE", "22", Euro(30000), Euro(15000), Euro(27900),
            Euro(333333)),
  };
  return {"articoli_codici_testo.csv", CodeanTable(ColumnType::kInteger, ColumnType::kText, codean),
          Listi01Table(ColumnType::kCurrency, ColumnType::kCurrency, listi01)};
}

// The mark-up in each of the remaining column types, one database each.
Catalogue MarkUpCatalogue(const char* golden, ColumnType ricart, std::vector<db::Value> values) {
  std::vector<Row> codean, listi01;
  int32_t code = 7001;
  for (const db::Value& value : values) {
    codean.push_back({kNull, code, "800700000" + std::to_string(code)});
    listi01.push_back(Price(code, "ARTICOLO " + std::to_string(code), "", "VARIE", "22",
                            Euro(20000), Euro(10000), Euro(19900), value));
    ++code;
  }
  return {golden, CodeanTable(ColumnType::kText, ColumnType::kLong, std::move(codean)),
          Listi01Table(ColumnType::kCurrency, ricart, std::move(listi01))};
}

class ExportEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::string_view(settings::kPublishFtpHost), "127.0.0.1");
    ASSERT_TRUE(server_.held()) << "something else holds 127.0.0.1:" << settings::kPublishFtpPort
                                << " (CMake cache variable CATPUB_E2E_EXPORT_PORT); these runs "
                                   "need an upload that fails";
    shop_.CompanyDatabase("C:\\ORBIS\\DATI.MDB");
  }

  void DataDatabase(std::vector<mdbwriter::Table> tables) {
    tables.push_back(Utenti({Row{int32_t{1}, int16_t{3}, int32_t{12}}}));
    shop_.DataDatabase("c/orbis/dati.mdb", std::move(tables));
  }

  testing::ProgramResult Run() {
    return testing::RunProgram(
        CATPUB_EXPORT_EXECUTABLE, shop_.Drive('c'),
        {{"CATALOG_PUBLISHER_DRIVES", shop_.drives().string()}, {"DISPLAY", ""}});
  }

  std::filesystem::path ExportFile() const { return shop_.Drive('c') / "orbis/articoli.csv"; }
  std::string Export() const { return ReadBytes(ExportFile()); }
  void OldExport() const { std::ofstream(ExportFile(), std::ios::binary) << kOldExport; }
  // The names in C:\orbis, sorted.
  std::vector<std::string> OrbisFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(shop_.Drive('c') / "orbis")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The run ended at the upload, which found no server.
  void ExpectUploadFailed(const testing::ProgramResult& result) {
    EXPECT_EQ(result.exit_status, 2) << result.err;
    EXPECT_TRUE(result.err.starts_with("ERRORE : FTP CONNESSIONE NON RIUSCITA")) << result.err;
    EXPECT_EQ(Unstamped(shop_.Log()),
              kStartUpLog + result.err.substr(0, result.err.size() - 1) + "\r\n");
  }

  // The run ended with a fatal error whose message contains `named`, logged after the start-up's
  // lines `log`, and left the old export as it was, with no temporary file beside it.
  void ExpectFatal(const testing::ProgramResult& result, const std::string& named,
                   const std::string& log = kStartUpLog,
                   const std::vector<std::string>& folder = {"articoli.csv", "bkp", "dati.mdb"}) {
    EXPECT_EQ(result.exit_status, 3) << result.err;
    EXPECT_EQ(result.signal, 0);
    EXPECT_TRUE(result.err.starts_with("ERRORE")) << result.err;
    EXPECT_NE(result.err.find(named), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(Unstamped(shop_.Log()),
              log + AsLogged(result.err.substr(0, result.err.size() - 1)) + "\r\n");
    EXPECT_EQ(Export(), kOldExport);
    EXPECT_EQ(OrbisFolder(), folder);
  }

  // The compiled-in publication server, kept unreachable.
  testing::RefusedPort server_{static_cast<uint16_t>(settings::kPublishFtpPort)};
  testing::Shop shop_;
};

// "articoli_catalogo.csv" is case "catalogo".
std::string CatalogueName(const ::testing::TestParamInfo<Catalogue>& param) {
  std::string name = param.param.golden;
  return name.substr(9, name.size() - 9 - 4);
}

class GoldenExport : public ExportEndToEnd, public ::testing::WithParamInterface<Catalogue> {};

TEST_P(GoldenExport, TheExportFileIsTheGoldenOne) {
  DataDatabase({GetParam().codean, GetParam().listi01});
  OldExport();
  testing::ProgramResult result = Run();
  ExpectUploadFailed(result);
  const std::filesystem::path golden = std::filesystem::path(CATPUB_GOLDEN_DIR) / GetParam().golden;
  ASSERT_TRUE(std::filesystem::is_regular_file(golden)) << golden;
  EXPECT_EQ(Export(), ReadBytes(golden));
  EXPECT_EQ(OrbisFolder(), (std::vector<std::string>{"articoli.csv", "bkp", "dati.mdb"}));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, GoldenExport,
    ::testing::Values(
        MainCatalogue(), FloatingPointCatalogue(), TextCodeCatalogue(),
        MarkUpCatalogue("articoli_ricarico_intero.csv", ColumnType::kInteger,
                        {int16_t{30}, int16_t{-5}, kNull}),
        MarkUpCatalogue("articoli_ricarico_testo.csv", ColumnType::kText,
                        {"30%", "", "alto; da rivedere", kNull}),
        MarkUpCatalogue("articoli_ricarico_si_no.csv", ColumnType::kBoolean, {true, false}),
        MarkUpCatalogue("articoli_ricarico_data.csv", ColumnType::kDateTime,
                        {db::DateTime{45352.5}, db::DateTime{45352.0}, db::DateTime{0.75}, kNull})),
    CatalogueName);

TEST_F(ExportEndToEnd, AnEmptyCodeanWritesNothingAndUploadsNothing) {
  DataDatabase(
      {CodeanTable(ColumnType::kText, ColumnType::kLong, {}),
       Listi01Table(ColumnType::kCurrency, ColumnType::kDouble,
                    {Price(1, "LATTE", "1", "ALIMENTARI", "4", Euro(1), Euro(1), Euro(1), 1.0)})});
  OldExport();
  testing::ProgramResult result = Run();
  // Any attempt to reach the server would have failed and ended with status 2.
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Unstamped(shop_.Log()), kStartUpLog);
  EXPECT_EQ(Export(), kOldExport);
  EXPECT_EQ(OrbisFolder(), (std::vector<std::string>{"articoli.csv", "bkp", "dati.mdb"}));
}

TEST_F(ExportEndToEnd, RowsThatAllGiveNoLineWriteAnEmptyFileThatIsUploaded) {
  DataDatabase(
      {CodeanTable(ColumnType::kText, ColumnType::kLong,
                   {{"5", int32_t{1}, "8000000000001"},
                    {kNull, int32_t{2}, "8000000000002"},
                    {"5,5", int32_t{1}, "8000000000003"}}),
       Listi01Table(ColumnType::kCurrency, ColumnType::kDouble,
                    {Price(1, "LATTE", "1", "ALIMENTARI", "4", Euro(1), Euro(1), Euro(1), 1.0)})});
  OldExport();
  testing::ProgramResult result = Run();
  ExpectUploadFailed(result);
  EXPECT_TRUE(std::filesystem::exists(ExportFile()));
  EXPECT_EQ(std::filesystem::file_size(ExportFile()), 0u);
  EXPECT_EQ(OrbisFolder(), (std::vector<std::string>{"articoli.csv", "bkp", "dati.mdb"}));
}

TEST_F(ExportEndToEnd, ANullDescriptionEndsTheRunAndKeepsThePreviousExport) {
  // Enough good lines before the bad one that part of the new export has reached the disk.
  std::vector<Row> codean, listi01;
  for (int32_t code = 1; code <= 1500; ++code) {
    codean.push_back({kNull, code, std::to_string(8000000000000 + code)});
    listi01.push_back(Price(code, "ARTICOLO " + std::to_string(code), "", "VARIE", "22",
                            Euro(20000), Euro(10000), Euro(19900), 30.0));
  }
  codean.push_back({kNull, int32_t{1501}, "8000000001501"});
  listi01.push_back(Price(1501, "", "", "VARIE", "22", Euro(1), Euro(1), Euro(1), 1.0));
  listi01.back()[1] = kNull;
  DataDatabase({CodeanTable(ColumnType::kText, ColumnType::kLong, codean),
                Listi01Table(ColumnType::kCurrency, ColumnType::kDouble, listi01)});
  OldExport();
  ExpectFatal(Run(), "valore Null in listi01.desart");
}

TEST_F(ExportEndToEnd, AnArticleCodeThatIsNoNumberEndsTheRun) {
  DataDatabase(
      {CodeanTable(ColumnType::kText, ColumnType::kText,
                   {{kNull, "1", "8000000000001"}, {kNull, "12A", "8000000000002"}}),
       Listi01Table(ColumnType::kCurrency, ColumnType::kDouble,
                    {Price(1, "LATTE", "1", "ALIMENTARI", "4", Euro(1), Euro(1), Euro(1), 1.0)})});
  OldExport();
  ExpectFatal(Run(), "valore non numerico \"12A\" in codean.codare");
}

TEST_F(ExportEndToEnd, AMissingPriceListEndsTheRun) {
  DataDatabase(
      {CodeanTable(ColumnType::kText, ColumnType::kLong, {{kNull, int32_t{1}, "8000000000001"}})});
  OldExport();
  ExpectFatal(Run(), "la tabella listi01 non esiste");
}

TEST_F(ExportEndToEnd, AMissingDataDatabaseEndsTheRunAtTheExport) {
  // Start-up reports it and the gate still goes on to publish, as it always did.
  OldExport();
  ExpectFatal(Run(), "il database C:\\ORBIS\\DATI.MDB non esiste",
              "<stamp>- Avvio programma\r\n"
              "<stamp>- Apro DB  C:\\ORBIS\\dati.mdb\r\n"
              "<stamp>- Apro DB  c:\\nodo\\orbis.mdb\r\n"
              "ERRORE : DB NON ESISTE \r\n"
              "<stamp>- Cassa 0 OK\r\n",
              {"articoli.csv", "bkp"});
}

// ---- Databases that Access edited: rows moved to another page -----------------------------

class MovedRowsEndToEnd : public ExportEndToEnd {
 protected:
  // `articles` barcodes, each with its price row; every 7th article also has a second barcode.
  static mdbwriter::Table Barcodes(int32_t articles) {
    std::vector<Row> rows;
    for (int32_t code = 1; code <= articles; ++code) {
      rows.push_back({kNull, code, std::to_string(8000000000000 + code)});
      if (code % 7 == 0) rows.push_back({"0", code, std::to_string(8100000000000 + code)});
    }
    return CodeanTable(ColumnType::kText, ColumnType::kLong, std::move(rows));
  }
  static mdbwriter::Table Prices(int32_t articles) {
    std::vector<Row> rows;
    for (int32_t code = 1; code <= articles; ++code) {
      rows.push_back(Price(code, "ARTICOLO " + std::to_string(code), std::to_string(code),
                           "REPARTO " + std::to_string(code % 13), "22", Euro(code * 100),
                           Euro(code * 50), Euro(code * 90), 30.0));
    }
    return Listi01Table(ColumnType::kCurrency, ColumnType::kDouble, std::move(rows));
  }

  // The export of a run on these tables (the run ends at the upload).
  std::string ExportOf(std::vector<mdbwriter::Table> tables) {
    DataDatabase(std::move(tables));
    const testing::ProgramResult result = Run();
    EXPECT_EQ(result.exit_status, 2) << result.err;
    return Export();
  }
};

TEST_F(MovedRowsEndToEnd, MovedBarcodeRowsAreExportedInTheirPlaces) {
  const std::string unmoved = ExportOf({Barcodes(700), Prices(700)});
  ASSERT_EQ(std::count(unmoved.begin(), unmoved.end(), '\n'), 800);
  // Rows moved on the first page, far down, at the end, and one moved twice; the price list too.
  mdbwriter::Table codean = Barcodes(700);
  codean.moved_rows = {1, 2, 3, 3, 400, 401, 799, 800};
  mdbwriter::Table listi01 = Prices(700);
  listi01.moved_rows = {1, 5, 350, 700};
  EXPECT_EQ(ExportOf({codean, listi01}), unmoved);
}

TEST_F(MovedRowsEndToEnd, TheFirstPriceRowOfAnArticleIsTheMovedOneInItsPlace) {
  mdbwriter::Table listi01 = Prices(3);
  // Article 2's price was edited and moved; its data now lies after an older row for article 2.
  listi01.rows.insert(listi01.rows.begin() + 2, Price(2, "ARTICOLO 2 (VECCHIO)", "0", "VARIE", "22",
                                                      Euro(1), Euro(1), Euro(1), 1.0));
  listi01.moved_rows = {2};
  const std::string moved = ExportOf({Barcodes(3), listi01});
  EXPECT_NE(moved.find("ARTICOLO 2 "), std::string::npos) << moved;
  EXPECT_EQ(moved.find("VECCHIO"), std::string::npos) << moved;
  EXPECT_EQ(moved, ExportOf({Barcodes(3), Prices(3)}));
}

TEST_F(MovedRowsEndToEnd, CatalogRowsMovedInBothDatabasesStillPublish) {
  const std::string unmoved = ExportOf({Barcodes(50), Prices(50)});
  const std::string log = Unstamped(shop_.Log());
  std::vector<mdbwriter::Table> company = {
      {"società",
       {{"codute", ColumnType::kInteger}, {"database", ColumnType::kText, 255}},
       {Row{int16_t{1}, "C:\\ORBIS\\DATI.MDB"}},
       {}},
      {"inizio", {{"codute", ColumnType::kInteger}}, {Row{int16_t{1}}}, {}}};
  std::vector<mdbwriter::Table> data = {Barcodes(50), Prices(50),
                                        Utenti({Row{int32_t{1}, int16_t{3}, int32_t{12}}})};
  for (auto* tables : {&company, &data}) {
    for (mdbwriter::Table& table : *tables) table.catalog_row_moved = true;
    tables->front().moved_rows = {1};
  }
  mdbwriter::WriteDatabase(shop_.Drive('c') / "nodo/orbis.mdb", company);
  shop_.DataDatabase("c/orbis/dati.mdb", data);
  const testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 2) << result.err;
  EXPECT_TRUE(result.err.starts_with("ERRORE : FTP CONNESSIONE NON RIUSCITA")) << result.err;
  EXPECT_EQ(Export(), unmoved);
  EXPECT_EQ(Unstamped(shop_.Log()), log + log);
}

TEST_F(MovedRowsEndToEnd, ADamagedPointerEndsTheRunAndKeepsThePreviousExport) {
  mdbwriter::Table listi01 = Prices(100);
  listi01.moved_rows = {1};
  DataDatabase({Barcodes(100), listi01});
  // The pointer of row 0 of the price list's first data page: the page after its definition and
  // usage-map pages. It is made to point past the end of the file.
  const std::filesystem::path file = shop_.Drive('c') / "orbis/dati.mdb";
  std::string bytes = ReadBytes(file);
  size_t pointer = 0, page = 0;
  for (page = 1; page < bytes.size() / 4096 && pointer == 0; ++page) {
    const char* at = bytes.data() + page * 4096;
    if (at[0] == 0x01 && (static_cast<uint8_t>(at[15]) & 0xC0) == 0x40) {
      pointer = page * 4096 + (static_cast<uint8_t>(at[14]) | (at[15] & 0x1f) << 8);
    }
  }
  ASSERT_NE(pointer, 0u);
  bytes[pointer + 1] = bytes[pointer + 2] = bytes[pointer + 3] = '\x7f';
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  OldExport();
  ExpectFatal(Run(), "la tabella listi01 è danneggiata: la riga 0 della pagina " +
                         std::to_string(page - 1) + ", spostata, rimanda alla pagina 8355711");
}

// ---- Counts that Access left behind, and page maps --------------------------------------------

// Access leaves a table's stored row count one short after edits that moved its rows; the rows are
// all there, and all are published.
class StoredCountsEndToEnd : public MovedRowsEndToEnd {
 protected:
  std::filesystem::path DataFile() const { return shop_.Drive('c') / "orbis/dati.mdb"; }

  // The data database with table `last` written last, so that its pages end the file, and the
  // catalog storing `catalog_stored_rows`.
  void DataDatabaseEndingWith(const mdbwriter::Table& last, const mdbwriter::Table& other,
                              std::optional<uint32_t> catalog_stored_rows = std::nullopt) {
    mdbwriter::WriteDatabase(DataFile(),
                             {other, Utenti({Row{int32_t{1}, int16_t{3}, int32_t{12}}}), last},
                             catalog_stored_rows);
  }

  // The file offset of the usage map of the table that owns the file's last page, a data page.
  static size_t UsageMapOfLastTable(const std::string& bytes) {
    const size_t last = bytes.size() - 4096;
    EXPECT_EQ(bytes[last], 0x01) << "the file does not end with a data page";
    const size_t definition = U32(bytes, last + 4) * size_t{4096};
    const size_t page = U32(bytes, definition + 56) & 0xFFFFFF;
    const size_t row = static_cast<uint8_t>(bytes[definition + 55]);
    return page * 4096 + (U32(bytes, page * 4096 + 14 + 2 * row) & 0x1fff);
  }
  static uint32_t U32(const std::string& bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
  }
};

TEST_F(StoredCountsEndToEnd, MovedBarcodesStoredOneShortAreAllPublishedInOrderOnce) {
  const std::string unmoved = ExportOf({Barcodes(700), Prices(700)});
  mdbwriter::Table codean = Barcodes(700);
  codean.moved_rows = {1, 400, 401, 800};
  codean.stored_rows = 799;
  EXPECT_EQ(ExportOf({codean, Prices(700)}), unmoved);
}

TEST_F(StoredCountsEndToEnd, AMovedFirstPriceRowStoredOneShortIsTheOnePublished) {
  mdbwriter::Table listi01 = Prices(3);
  listi01.rows.insert(listi01.rows.begin() + 2, Price(2, "ARTICOLO 2 (VECCHIO)", "0", "VARIE", "22",
                                                      Euro(1), Euro(1), Euro(1), 1.0));
  listi01.moved_rows = {2};
  listi01.stored_rows = 3;
  EXPECT_EQ(ExportOf({Barcodes(3), listi01}), ExportOf({Barcodes(3), Prices(3)}));
}

TEST_F(StoredCountsEndToEnd, APriceListReadByTwoReadersStoredFarShortIsPublishedWhole) {
  // A data database of 16 MB or more has its price list read by two readers, each over half of its
  // pages; the rows moved here all lie in the second half.
  const mdbwriter::Table notes{
      "note", {{"testo", ColumnType::kMemo}}, {{std::string(8'388'607, 'n')}}, {}};
  const std::string unmoved = ExportOf({Barcodes(2000), Prices(2000), notes});
  ASSERT_GE(std::filesystem::file_size(DataFile()), uint64_t{16} << 20);
  mdbwriter::Table listi01 = Prices(2000);
  listi01.moved_rows = {1500, 1501, 1502, 1800, 1999, 2000};
  listi01.stored_rows = 1994;
  EXPECT_EQ(ExportOf({Barcodes(2000), listi01, notes}), unmoved);
}

TEST_F(StoredCountsEndToEnd, ACatalogStoredShortStillFindsEveryTable) {
  const std::string unmoved = ExportOf({Barcodes(50), Prices(50)});
  mdbwriter::Table codean = Barcodes(50);
  codean.catalog_row_moved = true;
  // The catalog holds the "Tables" container, itself and the three tables: one short.
  DataDatabaseEndingWith(Prices(50), codean, 4);
  const testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 2) << result.err;
  EXPECT_EQ(Export(), unmoved);
}

TEST_F(StoredCountsEndToEnd, ACountAboveTheRowsEndsTheRunAndKeepsThePreviousExport) {
  mdbwriter::Table codean = Barcodes(700);
  codean.stored_rows = 801;
  DataDatabase({codean, Prices(700)});
  OldExport();
  ExpectFatal(Run(),
              "database danneggiato o illeggibile: C:\\ORBIS\\DATI.MDB, tabella codean: la "
              "tabella codean contiene 801 righe ma se ne leggono 800");
}

TEST_F(StoredCountsEndToEnd, ACountThatStillCountsADeletedBarcodePublishesTheOthers) {
  mdbwriter::Table without_first = Barcodes(700);
  without_first.rows.erase(without_first.rows.begin());
  const std::string expected = ExportOf({without_first, Prices(700)});
  // The first barcode deleted, its slot flagged on the last page of codean, and the count left at
  // 800 as the Jet engine leaves it.
  mdbwriter::Table codean = Barcodes(700);
  std::rotate(codean.rows.begin(), codean.rows.begin() + 1, codean.rows.end());
  DataDatabaseEndingWith(codean, Prices(700));
  std::string bytes = ReadBytes(DataFile());
  const size_t last = bytes.size() - 4096;
  const size_t rows = U32(bytes, last + 12) & 0xffff;
  const size_t slot = last + 14 + 2 * (rows - 1);
  bytes[slot + 1] = static_cast<char>(bytes[slot + 1] | 0x80);
  std::ofstream(DataFile(), std::ios::binary | std::ios::trunc) << bytes;
  const testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 2) << result.err;
  EXPECT_EQ(Export(), expected);
}

TEST_F(StoredCountsEndToEnd, APageMapNamingPagesPastTheEndOfTheFileEndsTheRunNamingThem) {
  DataDatabaseEndingWith(Prices(700), Barcodes(700));
  // A copy of the file that lost its last two pages, both the price list's.
  std::string bytes = ReadBytes(DataFile());
  bytes.resize(bytes.size() - 2 * 4096);
  std::ofstream(DataFile(), std::ios::binary | std::ios::trunc) << bytes;
  OldExport();
  ExpectFatal(Run(), "la tabella listi01 è danneggiata: la mappa delle pagine nomina la pagina " +
                         std::to_string(bytes.size() / 4096) + ", oltre la fine del file");
}

TEST_F(StoredCountsEndToEnd, AMapOfAnotherKindOverMovedRowsIsWalkedOnceAndEnds) {
  const std::string unmoved = ExportOf({Barcodes(700), Prices(700)});
  mdbwriter::Table listi01 = Prices(700);
  listi01.moved_rows = {1, 350, 700};
  listi01.stored_rows = 699;
  DataDatabaseEndingWith(listi01, Barcodes(700));
  std::string bytes = ReadBytes(DataFile());
  bytes[UsageMapOfLastTable(bytes)] = 7;
  std::ofstream(DataFile(), std::ios::binary | std::ios::trunc) << bytes;
  const testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 2) << result.err;
  EXPECT_EQ(Export(), unmoved);
}

// The shop's software writing the data database all through the run: every reading sees it change.
TEST_F(ExportEndToEnd, ADataDatabaseThatKeepsChangingEndsTheRun) {
  DataDatabase(
      {CodeanTable(ColumnType::kText, ColumnType::kLong, {{kNull, int32_t{1}, "8000000000001"}}),
       Listi01Table(ColumnType::kCurrency, ColumnType::kDouble,
                    {Price(1, "LATTE", "1", "ALIMENTARI", "4", Euro(1), Euro(1), Euro(1), 1.0)})});
  OldExport();
  const std::filesystem::path file = shop_.Drive('c') / "orbis/dati.mdb";
  std::atomic<bool> running = true;
  std::thread writer([&] {
    auto time = std::filesystem::last_write_time(file);
    while (running) {
      time += std::chrono::seconds(1);
      std::filesystem::last_write_time(file, time);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const testing::ProgramResult result = Run();
  running = false;
  writer.join();
  const std::string line =
      "ERRORE : il database C:\\ORBIS\\DATI.MDB è cambiato mentre veniva letto, 3 volte di "
      "seguito: l'esportazione non è stata pubblicata";
  EXPECT_EQ(result.exit_status, 3) << result.err;
  EXPECT_EQ(result.err, line + "\n");
  // The run log is in Windows-1252, where è is one byte.
  EXPECT_EQ(Unstamped(shop_.Log()),
            kStartUpLog + std::regex_replace(line, std::regex("è"), "\xE8") + "\r\n");
  EXPECT_EQ(Export(), kOldExport);
  EXPECT_EQ(OrbisFolder(), (std::vector<std::string>{"articoli.csv", "bkp", "dati.mdb"}));
}

}  // namespace
}  // namespace catpub
