// The built program's start-up on real Access files, headless, as the shop's scheduler runs it.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

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

// Wine keeps no Event Log, but its ReportEventW says what it was given: the type and the event
// number on the advapi channel, the text on the eventlog channel. One entry per run, whatever the
// run did.
class StartUpEventLogUnderWine : public StartUpEndToEnd {
 protected:
  // Wine's ReportEventW lines of one run, without their thread numbers.
  std::vector<std::string> Entries(char drive) {
    testing::ProgramResult result =
        testing::RunProgram(CATPUB_EXECUTABLE, shop_.Drive(drive),
                            {{"CATALOG_PUBLISHER_DRIVES", shop_.drives().string()},
                             {"DISPLAY", ""},
                             {"WINEDEBUG", "-all,fixme+advapi,+eventlog"}});
    static const std::regex entry_line(R"(^[0-9a-f]+:(\S+:ReportEventW .*)$)");
    std::vector<std::string> entries;
    std::istringstream err(result.err);
    for (std::string line; std::getline(err, line);) {
      std::smatch found;
      if (std::regex_match(line, found, entry_line)) entries.push_back(found[1]);
    }
    return entries;
  }
  // Wine's line of ReportEventW's arguments: the type and the event number.
  static std::string Reported(const std::string& type, const std::string& id,
                              const std::string& entry) {
    static const std::regex arguments(R"(fixme:advapi:ReportEventW \([0-9A-F]+,(0x[0-9a-f]{4}),)"
                                      R"(0x0000,(0x[0-9a-f]{8}),0+,0x0001,.*)");
    std::smatch found;
    if (!std::regex_match(entry, found, arguments)) return "not ReportEventW's arguments: " + entry;
    return found[1] == type && found[2] == id
               ? ""
               : "type " + found[1].str() + ", event " + found[2].str();
  }
};

TEST_F(StartUpEventLogUnderWine, AMissingCompanyDatabaseIsOneErrorEntry) {
  if (!testing::kUnderWine) GTEST_SKIP() << "the Event Log is Windows' own";
  std::filesystem::create_directories(shop_.Drive('d'));
  const std::vector<std::string> entries = Entries('d');
  ASSERT_EQ(entries.size(), 2u) << ::testing::PrintToString(entries);
  EXPECT_EQ(Reported("0x0001", "0x0000000a", entries[0]), "");
  EXPECT_EQ(entries[1],
            R"(err:eventlog:ReportEventW L"ERRORE : FILE d:\\nodo\\orbis.mdb NON ESISTE ")");
}

TEST_F(StartUpEventLogUnderWine, NothingToPublishIsOneInformationEntry) {
  if (!testing::kUnderWine) GTEST_SKIP() << "the Event Log is Windows' own";
  shop_.CompanyDatabase("c:\\Orbis\\Dati.mdb");
  shop_.DataDatabase("c/orbis/dati.mdb",
                     {Utenti({Row{int32_t{1}, int16_t{3}, int32_t{12}}}), Codean({}), Listi01({})});
  const std::vector<std::string> entries = Entries('c');
  ASSERT_EQ(entries.size(), 2u) << ::testing::PrintToString(entries);
  EXPECT_EQ(Reported("0x0004", "0x00000002", entries[0]), "");
  EXPECT_EQ(entries[1],
            R"(trace:eventlog:ReportEventW L"Nessun articolo da pubblicare: la tabella codean di )"
            R"(C:\\ORBIS\\DATI.MDB \00e8 vuota, nulla \00e8 stato inviato al server")");
}

}  // namespace
}  // namespace catpub
