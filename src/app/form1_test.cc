#include "app/form1.h"

#include <gtest/gtest.h>

#include <variant>

#include "fakes/fake_app_platform.h"
#include "platform/fatal_error.h"
#include "publish/export_path.h"

namespace catpub::app {
namespace {

using testing::MemoryTable;
using Lines = std::vector<std::string>;
using Row = std::vector<db::Value>;

const char kLog[] = "C:\\orbis\\bkp\\logrul3_07122026.txt";
const char kStart[] = "07/12/2026-15:14:07- Avvio programma";

class Form1Test : public ::testing::Test, protected testing::FakeAppPlatform {
 protected:
  Form1Test() { window_.events = &form_; }

  const Lines& Log() { return disk_.Lines(kLog); }

  Form1::Publication publication_{files_, ftp_, {"192.0.2.1", "vellum", "secret"}};
  Form1 form_{window_, run_log_, fs_, tables_, publication_};
};

TEST_F(Form1Test, ACompleteStartUpLogsEveryStepAndPublishes) {
  GoodShop();
  form_.Form_Load();
  EXPECT_EQ(Log(), (Lines{kStart, "07/12/2026-15:14:07- Apro DB  c:\\Orbis\\dati.mdb",
                          "07/12/2026-15:14:07- Apro DB  c:\\nodo\\orbis.mdb", "DB OK  ",
                          "CONTROLLO DB ORBIS OK", "07/12/2026-15:14:07- Cassa 0 OK"}));
  EXPECT_EQ(form_.dataDbPath(), "C:\\ORBIS\\DATI.MDB");
  EXPECT_EQ(form_.startup_settings().nrpos, 7);
  EXPECT_EQ(form_.startup_settings().codattiv, 12);
  EXPECT_EQ(form_.processingCounter(), 1);
  EXPECT_EQ(window_.till_numbers(), Lines{"7"});
  EXPECT_FALSE(window_.Loaded());
  EXPECT_FALSE(files_.IsOpen(2));
}

TEST_F(Form1Test, ThePublicationExportsThenUploadsToTheActivitysDirectory) {
  GoodShop();
  Catalogue({1, 2});
  form_.Form_Load();
  const Lines& lines = disk_.Lines(publish::kExportPath);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 14), "801          ;");
  EXPECT_EQ(ftp_.calls(),
            (Lines{"SetHostname(192.0.2.1)", "SetUsername(vellum)", "SetPassword(secret)",
                   "SetPassive(1)", "Connect()", "ChangeRemoteDir(/var/www/vellum/orbis/12)",
                   "PutFile(C:\\orbis\\articoli.csv, articoli.csv)"}));
  const auto* published = std::get_if<Published>(&form_.outcome());
  ASSERT_NE(published, nullptr);
  EXPECT_EQ(published->articles, 2u);
  EXPECT_EQ(published->host, "192.0.2.1");
  EXPECT_EQ(published->remote_file, "/var/www/vellum/orbis/12/articoli.csv");
  EXPECT_FALSE(window_.Loaded());
  EXPECT_FALSE(files_.IsOpen(2));
  EXPECT_FALSE(files_.IsOpen(5));
}

TEST_F(Form1Test, AFailedUploadIsKeptForTheReport) {
  GoodShop();
  Catalogue({1});
  ftp_.connect_result = 0;
  form_.Form_Load();
  const auto* failed = std::get_if<UploadFailed>(&form_.outcome());
  ASSERT_NE(failed, nullptr);
  EXPECT_TRUE(ReportLine(failed->failure).starts_with("ERRORE : FTP CONNESSIONE NON RIUSCITA"));
  EXPECT_TRUE(disk_.Has(publish::kExportPath));
  EXPECT_FALSE(window_.Loaded());
}

// codean has no rows: no file is written, the server is not contacted, and the window goes.
TEST_F(Form1Test, AnEmptyCodeanPublishesNothing) {
  GoodShop();
  form_.Form_Load();
  const auto* nothing = std::get_if<NothingToPublish>(&form_.outcome());
  ASSERT_NE(nothing, nullptr);
  EXPECT_EQ(nothing->database, "C:\\ORBIS\\DATI.MDB");
  EXPECT_FALSE(disk_.Has(publish::kExportPath));
  EXPECT_TRUE(ftp_.calls().empty());
  EXPECT_FALSE(window_.Loaded());
}

TEST_F(Form1Test, AMissingCompanyDatabaseShowsAMessageAndStops) {
  testing::RecordingWindow on_d;
  on_d.drive = "d:";
  Form1 form(on_d, run_log_, fs_, tables_, publication_);
  form.Form_Load();
  EXPECT_EQ(Log(), Lines{kStart});
  EXPECT_EQ(on_d.calls(), (Lines{"CurrentDrive()",
                                 "ShowMessage(ERRORE : FILE d:\\nodo\\orbis.mdb NON ESISTE )"}));
  EXPECT_TRUE(on_d.till_numbers().empty());
  EXPECT_TRUE(on_d.Loaded());
  const auto* stopped = std::get_if<ConfigurationError>(&form.outcome());
  ASSERT_NE(stopped, nullptr);
  EXPECT_EQ(stopped->message, "ERRORE : FILE d:\\nodo\\orbis.mdb NON ESISTE ");
  EXPECT_EQ(form.processingCounter(), 0);
  EXPECT_TRUE(files_.IsOpen(2));
}

TEST_F(Form1Test, NoCompanyRowLeavesNoDataDatabase) {
  GoodShop();
  tables_.Put("c:\\nodo\\orbis.mdb", "società",
              MemoryTable{{"codute", "database"}, {Row{int32_t{2}, std::string("x")}}});
  form_.Form_Load();
  EXPECT_EQ(Log(), (Lines{kStart, "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ",
                          "ERRORE :NOME DB NON ESISTE...."}));
  EXPECT_EQ(form_.dataDbPath(), "");
  EXPECT_EQ(window_.till_numbers(), Lines{"0"});
  EXPECT_EQ(window_.calls(), (Lines{"CurrentDrive()", "SetTillNumber(0)", "DisableTimer2()"}));
  EXPECT_TRUE(window_.Loaded());
  const auto* stopped = std::get_if<ConfigurationError>(&form_.outcome());
  ASSERT_NE(stopped, nullptr);
  EXPECT_EQ(stopped->message, "ERRORE : SOCIETA CON CODICE 1 NON ESISTE IN c:\\nodo\\orbis.mdb");
  EXPECT_EQ(form_.processingCounter(), 0);
}

TEST_F(Form1Test, ANullDatabaseFieldCountsAsAMissingCompanyRow) {
  GoodShop(std::monostate{});
  form_.Form_Load();
  EXPECT_EQ(Log(), (Lines{kStart, "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ",
                          "ERRORE :NOME DB NON ESISTE...."}));
  EXPECT_TRUE(window_.Loaded());
}

TEST_F(Form1Test, NoInizioRowStillHandsTheDerivedPathToThePublication) {
  GoodShop();
  tables_.Put("c:\\nodo\\orbis.mdb", "inizio", MemoryTable{{"codute"}, {Row{int16_t{3}}}});
  form_.Form_Load();
  EXPECT_EQ(Log(), (Lines{kStart, "07/12/2026-15:14:07- Apro DB  c:\\Orbis\\dati.mdb",
                          "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ",
                          "07/12/2026-15:14:07- Cassa 0 OK"}));
  EXPECT_EQ(form_.dataDbPath(), "c:\\Orbis\\dati.mdb");
  EXPECT_EQ(form_.processingCounter(), 0);
  EXPECT_FALSE(window_.Loaded());
}

TEST_F(Form1Test, AMissingDataDatabaseIsLoggedAndItsPathKept) {
  GoodShop(std::string("C:\\Negozio\\Dati.mdb"));
  // The publication then cannot open it: the run cannot go on.
  EXPECT_THROW(form_.Form_Load(), FatalError);
  EXPECT_EQ(Log(), (Lines{kStart, "07/12/2026-15:14:07- Apro DB  C:\\Negozio\\dati.mdb",
                          "07/12/2026-15:14:07- Apro DB  c:\\nodo\\orbis.mdb",
                          "ERRORE : DB NON ESISTE ", "07/12/2026-15:14:07- Cassa 0 OK"}));
  EXPECT_EQ(form_.dataDbPath(), "C:\\NEGOZIO\\DATI.MDB");
  EXPECT_EQ(window_.till_numbers(), Lines{"0"});
}

TEST_F(Form1Test, AFileNameAloneIsLookedForInTheCurrentFolder) {
  GoodShop(std::string(" dati.mdb"));
  disk_.Put(" DATI.MDB");
  tables_.Put(" DATI.MDB", "utenti", MemoryTable{{"codutente", "nrpos", "codattiv"}, {}});
  tables_.Put(" DATI.MDB", "codean", MemoryTable{{"colare", "codare", "eanare"}, {}});
  form_.Form_Load();
  EXPECT_EQ(Log()[1], "07/12/2026-15:14:07- Apro DB  c:\\orbis\\dati.mdb");
  EXPECT_EQ(form_.dataDbPath(), " DATI.MDB");
  EXPECT_EQ(Log()[3], "DB OK  ");
}

TEST_F(Form1Test, TillSettingsRoundHalvesToEvenAndNullKeepsZero) {
  struct Case {
    db::Value nrpos, codattiv;
    int32_t expected_nrpos, expected_codattiv;
  };
  const Case cases[] = {
      {double{2.5}, double{3.5}, 2, 4},
      {float{-2.5}, db::Currency{-35000}, -2, -4},
      {std::monostate{}, int16_t{-5}, 0, -5},
      {uint8_t{200}, std::monostate{}, 200, 0},
  };
  for (const Case& c : cases) {
    GoodShop();
    Utenti(Row{int32_t{1}, c.nrpos, c.codattiv});
    testing::RecordingWindow window;
    Form1 form(window, run_log_, fs_, tables_, publication_);
    form.Form_Load();
    EXPECT_EQ(form.startup_settings().nrpos, c.expected_nrpos);
    EXPECT_EQ(form.startup_settings().codattiv, c.expected_codattiv);
    EXPECT_EQ(window.till_numbers(), Lines{std::to_string(c.expected_nrpos)});
  }
}

TEST_F(Form1Test, NoUtentiRowIsNoFailure) {
  GoodShop();
  tables_.Put(
      "C:\\ORBIS\\DATI.MDB", "utenti",
      MemoryTable{{"codutente", "nrpos", "codattiv"}, {Row{int32_t{2}, int32_t{9}, int32_t{9}}}});
  form_.Form_Load();
  EXPECT_EQ(Log()[4], "CONTROLLO DB ORBIS OK");
  EXPECT_EQ(window_.till_numbers(), Lines{"0"});
  EXPECT_EQ(form_.startup_settings().codattiv, 0);
}

TEST_F(Form1Test, TheHeartbeatWritesEverySecondTick) {
  form_.Form_Load();  // no company database: the counter starts at 0
  Lines expected{kStart};
  const char* ticks[] = {"", "", "x", "", "x", "", "x"};
  for (const char* tick : ticks) {
    form_.Timer2_Timer();
    if (*tick) expected.push_back("07/12/2026-15:14:07- Inizio elaborazione ");
    EXPECT_EQ(Log(), expected);
  }
}

TEST_F(Form1Test, TheHeartbeatFromACounterOfOneWritesAtTheSecondTick) {
  GoodShop();
  tables_.Put("C:\\ORBIS\\DATI.MDB", "utenti", MemoryTable{{"codutente"}, {}});
  Form1 form(window_, run_log_, fs_, tables_, publication_);
  form.Form_Load();  // publishes and closes the log; reopen it to watch the ticks
  ASSERT_EQ(form.processingCounter(), 1);
  run_log_.OpenRunLog();
  size_t before = Log().size();
  form.Timer2_Timer();
  EXPECT_EQ(Log().size(), before);
  form.Timer2_Timer();
  EXPECT_EQ(Log().size(), before + 1);
  EXPECT_EQ(form.processingCounter(), 1);
}

TEST_F(Form1Test, UscitaUnloadsAndClosesTheLog) {
  form_.Form_Load();
  ASSERT_TRUE(files_.IsOpen(2));
  form_.Command1_Click();
  EXPECT_FALSE(window_.Loaded());
  EXPECT_FALSE(files_.IsOpen(2));
}

}  // namespace
}  // namespace catpub::app
