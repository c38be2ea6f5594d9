// The built program's start-up on real Access files, headless, as the shop's scheduler runs it.
#include <gtest/gtest.h>

#include <regex>

#include "support/run_program.h"
#include "support/shop.h"

namespace catpub {
namespace {

using testing::Codean;
using testing::Listi01;
using testing::Row;
using testing::Shop;
using testing::Utenti;

// The log with every time stamp replaced by "<stamp>", so lines compare exactly otherwise.
std::string Unstamped(const std::string& log) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d-)");
  return std::regex_replace(log, stamp, "<stamp>-");
}

class StartUpEndToEnd : public ::testing::Test {
 protected:
  testing::ProgramResult Run(char drive = 'c') {
    return testing::RunProgram(
        CATPUB_EXECUTABLE, shop_.Drive(drive),
        {{"CATALOG_PUBLISHER_DRIVES", shop_.drives().string()}, {"DISPLAY", ""}});
  }
  Shop shop_;
};

TEST_F(StartUpEndToEnd, ACompleteStartUpWithNothingToPublish) {
  shop_.CompanyDatabase("c:\\Orbis\\Dati.mdb");
  shop_.DataDatabase("c/orbis/dati.mdb",
                     {Utenti({Row{int32_t{1}, int16_t{3}, int32_t{12}}}), Codean({}), Listi01({})});
  testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(Unstamped(shop_.Log()),
            "<stamp>- Avvio programma\r\n"
            "<stamp>- Apro DB  c:\\Orbis\\dati.mdb\r\n"
            "<stamp>- Apro DB  c:\\nodo\\orbis.mdb\r\n"
            "DB OK  \r\n"
            "CONTROLLO DB ORBIS OK\r\n"
            "<stamp>- Cassa 0 OK\r\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(StartUpEndToEnd, AMissingCompanyDatabaseStopsWithStatus1) {
  std::filesystem::create_directories(shop_.Drive('d'));
  testing::ProgramResult result = Run('d');
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "ERRORE : FILE d:\\nodo\\orbis.mdb NON ESISTE \n");
  EXPECT_EQ(Unstamped(shop_.Log()), "<stamp>- Avvio programma\r\n");
}

TEST_F(StartUpEndToEnd, NoInizioRowStillPublishesFromTheDerivedPath) {
  shop_.CompanyDatabase("C:\\ORBIS\\DATI.MDB", 'c', false);
  shop_.DataDatabase("c/orbis/dati.mdb", {Utenti({}), Codean({}), Listi01({})});
  testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(Unstamped(shop_.Log()),
            "<stamp>- Avvio programma\r\n"
            "<stamp>- Apro DB  C:\\ORBIS\\dati.mdb\r\n"
            "ERRORE : SOCIETA CON CODICE 1 NON ESISTE \r\n"
            "<stamp>- Cassa 0 OK\r\n");
}

TEST_F(StartUpEndToEnd, TheDataDatabaseIsFoundWhateverTheCaseOnDisk) {
  shop_.CompanyDatabase("e:\\Negozio\\Archivi\\dati.mdb");
  shop_.DataDatabase("e/NEGOZIO/archivi/DATI.MDB", {Utenti({}), Codean({}), Listi01({})});
  testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_NE(shop_.Log().find("- Apro DB  e:\\Negozio\\Archivi\\dati.mdb\r\n"), std::string::npos);
  EXPECT_NE(shop_.Log().find("\r\nDB OK  \r\nCONTROLLO DB ORBIS OK\r\n"), std::string::npos);
}

TEST_F(StartUpEndToEnd, ADamagedCompanyDatabaseEndsWithStatus3) {
  shop_.CompanyDatabase("C:\\ORBIS\\DATI.MDB");
  std::filesystem::resize_file(shop_.Drive('c') / "nodo/orbis.mdb", 4096 * 3);
  testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.signal, 0);
  EXPECT_NE(result.err.find("ERRORE : "), std::string::npos);
  EXPECT_NE(result.err.find("c:\\nodo\\orbis.mdb"), std::string::npos) << result.err;
  EXPECT_NE(Unstamped(shop_.Log()).find("<stamp>- Avvio programma\r\nERRORE : "),
            std::string::npos);
}

}  // namespace
}  // namespace catpub
