// The publication end to end: catalog-publisher-e2e (the program built for 127.0.0.1 at the test
// port, with the demo account and 3-second timeouts) publishes a shop's catalogue to the test FTP
// server, headless, as the shop's scheduler runs it. What the server received is read from its
// disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "ftp_server_process.h"
#include "support/catalogue.h"
#include "support/e2e_server.h"
#include "support/refused_port.h"
#include "support/run_program.h"
#include "support/shop.h"
#include "support/temp_dir.h"

namespace catpub {
namespace {

namespace fs = std::filesystem;
using testing::Catalogue;
using testing::Codean;
using testing::Listi01;
using testing::ReadBytes;
using testing::Row;
using testing::WriteShop;

constexpr char kPassword[] = CATPUB_E2E_FTP_PASSWORD;
constexpr int kPort = CATPUB_E2E_FTP_PORT;
constexpr char kOrbis[] = "var/www/vellum/orbis";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The last line of a CR LF text, without its line end.
std::string LastLine(const std::string& text) {
  if (!text.ends_with("\r\n")) return "(no line end: " + text + ")";
  size_t start = text.rfind("\r\n", text.size() - 3);
  start = start == std::string::npos ? 0 : start + 2;
  return text.substr(start, text.size() - 2 - start);
}

// The program on drive C: of `shop`, headless.
testing::ProgramResult RunOn(const testing::Shop& shop) {
  return testing::RunProgram(
      CATPUB_E2E_EXECUTABLE, shop.Drive('c'),
      {{"CATALOG_PUBLISHER_DRIVES", shop.drives().string()}, {"DISPLAY", ""}});
}

class PublicationEndToEnd : public ::testing::Test {
 protected:
  void MakeShop(std::optional<db::Value> codattiv, std::vector<mdbwriter::Table> tables) {
    WriteShop(shop_, std::move(codattiv), std::move(tables));
  }

  // Starts the test server on the port the program has compiled in.
  void StartServer(const std::string& fault = "none") {
    ASSERT_TRUE(
        testing::StartE2eServer(ftp_root(), server_dir_.path() / "server.log", fault, server_));
  }

  testing::ProgramResult Run() { return RunOn(shop_); }

  fs::path ftp_root() const { return server_dir_.path() / "root"; }
  fs::path Remote(const std::string& relative) const { return ftp_root() / kOrbis / relative; }
  fs::path LocalExport() const { return shop_.Drive('c') / "orbis/articoli.csv"; }
  std::string ServerLog() const { return server_ ? server_->Log() : std::string(); }
  size_t Connections() const { return Count(ServerLog(), "FTP session opened (connect)"); }

  // The files under the server's root, relative to it.
  std::vector<std::string> ServerFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(ftp_root())) {
      if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), ftp_root()).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  void ExpectNoPassword(const testing::ProgramResult& result) {
    EXPECT_FALSE(Contains(shop_.Log(), kPassword)) << "the password is in the run log";
    EXPECT_FALSE(Contains(result.err, kPassword)) << "the password is on standard error";
    EXPECT_FALSE(Contains(result.out, kPassword)) << "the password is on standard output";
  }

  testing::Shop shop_;
  testing::TempDir server_dir_;
  std::unique_ptr<testing::FtpServerProcess> server_;
};

TEST_F(PublicationEndToEnd, ReplacesTheFileInTheActivitysDirectoryByteForByte) {
  MakeShop(int32_t{12}, Catalogue(40));
  fs::create_directories(Remote("12"));
  std::ofstream(Remote("12/articoli.csv"), std::ios::binary) << "yesterday's catalogue\r\n";
  StartServer();

  testing::ProgramResult result = Run();

  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::string local = ReadBytes(LocalExport());
  EXPECT_EQ(Count(local, "\r\n"), 40u);
  // The scheduler's journal gets one line for the run.
  EXPECT_TRUE(
      result.out.starts_with("Pubblicati 40 articoli di C:\\orbis\\articoli.csv sul server "
                             "127.0.0.1 in /var/www/vellum/orbis/12/articoli.csv, in "))
      << result.out;
  EXPECT_EQ(Count(result.out, "\n"), 1u) << result.out;
  EXPECT_EQ(ReadBytes(Remote("12/articoli.csv")), local);
  EXPECT_EQ(ServerFiles(), std::vector<std::string>{"var/www/vellum/orbis/12/articoli.csv"});
  EXPECT_EQ(LastLine(shop_.Log()).substr(19), "- Cassa 0 OK");
  EXPECT_EQ(Connections(), 1u) << ServerLog();
  ExpectNoPassword(result);
}

TEST_F(PublicationEndToEnd, CreatesAMissingDirectoryAndPutsTheFileInside) {
  MakeShop(int32_t{12}, Catalogue(3));
  fs::create_directories(Remote(""));
  StartServer();

  testing::ProgramResult result = Run();

  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(ServerFiles(), std::vector<std::string>{"var/www/vellum/orbis/12/articoli.csv"});
  EXPECT_EQ(ReadBytes(Remote("12/articoli.csv")), ReadBytes(LocalExport()));
  // The server logs paths on its own disk.
  EXPECT_TRUE(Contains(ServerLog(), "MKD " + Remote("12").string() + " 257")) << ServerLog();
}

TEST_F(PublicationEndToEnd, TheActivityCodeEndsTheDirectoryAsItIsWritten) {
  const struct {
    const char* what;
    std::optional<db::Value> codattiv;
    const char* dir;
  } cases[] = {
      {"no utenti row", std::nullopt, "0"},
      {"codattiv Null", db::Value{}, "0"},
      {"codattiv 0", int32_t{0}, "0"},
      {"codattiv -5", int32_t{-5}, "-5"},
      {"codattiv 2147483647", int32_t{2147483647}, "2147483647"},
  };
  fs::create_directories(Remote(""));
  StartServer();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::Shop shop;
    WriteShop(shop, c.codattiv, Catalogue(2));

    testing::ProgramResult result = RunOn(shop);

    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(ReadBytes(Remote(c.dir) / "articoli.csv"),
              ReadBytes(shop.Drive('c') / "orbis/articoli.csv"));
    fs::remove_all(Remote(c.dir));
  }
  EXPECT_EQ(ServerFiles(), std::vector<std::string>{});
}

TEST_F(PublicationEndToEnd, AnExportOfZeroBytesIsUploadedLikeAnyOther) {
  MakeShop(int32_t{7}, Catalogue(5, /*withdrawn=*/true));
  fs::create_directories(Remote("7"));
  std::ofstream(Remote("7/articoli.csv"), std::ios::binary) << "yesterday's catalogue\r\n";
  StartServer();

  testing::ProgramResult result = Run();

  EXPECT_EQ(result.exit_status, 0) << result.err;
  ASSERT_TRUE(fs::exists(LocalExport()));
  EXPECT_EQ(fs::file_size(LocalExport()), 0u);
  ASSERT_TRUE(fs::exists(Remote("7/articoli.csv")));
  EXPECT_EQ(fs::file_size(Remote("7/articoli.csv")), 0u);
}

TEST_F(PublicationEndToEnd, AnEmptyCodeanNeverReachesTheServer) {
  MakeShop(int32_t{12}, {Codean({}), Listi01({})});
  fs::create_directories(Remote("12"));
  StartServer();

  testing::ProgramResult result = Run();

  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_FALSE(fs::exists(LocalExport()));
  EXPECT_EQ(ServerFiles(), std::vector<std::string>{});
  EXPECT_EQ(LastLine(shop_.Log()).substr(19), "- Cassa 0 OK");
  // The server is up and logging: a connection would show.
  EXPECT_TRUE(Contains(ServerLog(), "starting FTP server")) << ServerLog();
  EXPECT_EQ(Connections(), 0u) << ServerLog();
}

// A failed publication: status 2, the export kept, one "ERRORE" line after the run's last line in
// the log and the same on standard error.
struct Failure {
  const char* what;
  const char* fault;  // nullptr: nothing listens on the port
  bool dir_exists;
  const char* line;  // how the ERRORE line starts: the step
  const char* said;  // what the server or the transport said, further on in the line
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.what; }

class PublicationFailure : public PublicationEndToEnd,
                           public ::testing::WithParamInterface<Failure> {};

TEST_P(PublicationFailure, EndsWithStatus2AndSaysWhichStepFailedAndWhy) {
  const Failure& failure = GetParam();
  // Past the 64 KiB after which the faulty servers cut or stall a transfer.
  constexpr int kArticles = 2000;
  MakeShop(int32_t{12}, Catalogue(kArticles));
  const std::string old_file = "yesterday's catalogue\r\n";
  if (failure.dir_exists) {
    fs::create_directories(Remote("12"));
    std::ofstream(Remote("12/articoli.csv"), std::ios::binary) << old_file;
  } else {
    fs::create_directories(Remote(""));
  }
  std::optional<testing::RefusedPort> refusing;
  if (failure.fault != nullptr) {
    StartServer(failure.fault);
  } else {
    refusing.emplace(static_cast<uint16_t>(kPort));
    ASSERT_TRUE(refusing->held()) << "port " << kPort << " (CATPUB_E2E_FTP_PORT) is taken";
  }

  const auto started = std::chrono::steady_clock::now();
  testing::ProgramResult result = Run();
  const auto took = std::chrono::steady_clock::now() - started;

  EXPECT_EQ(result.exit_status, 2) << result.err;
  EXPECT_EQ(result.signal, 0);
  const std::string fault = failure.fault != nullptr ? failure.fault : "";
  if (fault.starts_with("stall")) {
    // One timeout (3 s in this build) and the run ends: no step after the stalled one, no second
    // connection.
    EXPECT_EQ(Connections(), 1u) << ServerLog();
    EXPECT_LT(took, std::chrono::seconds(9));
  }
  const std::string log = shop_.Log();
  const std::string line = LastLine(log);
  EXPECT_TRUE(line.starts_with(failure.line)) << line;
  EXPECT_TRUE(Contains(line, failure.said)) << line;
  EXPECT_EQ(result.err, line + "\n");
  EXPECT_TRUE(Contains(log, "\r\nDB OK  \r\nCONTROLLO DB ORBIS OK\r\n")) << log;
  EXPECT_EQ(LastLine(log.substr(0, log.size() - line.size() - 2)).substr(19), "- Cassa 0 OK");
  EXPECT_EQ(Count(log, "ERRORE"), 1u) << log;
  // The local export is whole.
  const std::string local = ReadBytes(LocalExport());
  EXPECT_EQ(Count(local, "\r\n"), static_cast<size_t>(kArticles));
  EXPECT_GT(local.size(), 128u * 1024);
  EXPECT_TRUE(local.ends_with(";\r\n"));
  // The server never shows a partial articoli.csv: the old one stays, or there is none.
  if (failure.dir_exists) {
    const std::string remote = ReadBytes(Remote("12/articoli.csv"));
    EXPECT_TRUE(remote == old_file)
        << "the server's articoli.csv changed: " << remote.size() << " bytes of " << local.size();
  } else if (fs::exists(ftp_root())) {
    for (const std::string& file : ServerFiles()) {
      EXPECT_FALSE(file.ends_with("/articoli.csv")) << file;
    }
  }
  // What the server received is deleted, unless it stopped answering.
  if (fault != "stall-transfer" && fs::exists(Remote("12"))) {
    EXPECT_FALSE(fs::exists(Remote("12/articoli.csv.part")));
  }
  ExpectNoPassword(result);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PublicationFailure,
    ::testing::Values(
        Failure{"LoginRefused", "refuse-login", true,
                "ERRORE : FTP CONNESSIONE NON RIUSCITA : ", "530 Login incorrect."},
        Failure{"NothingListening", nullptr, true, "ERRORE : FTP CONNESSIONE NON RIUSCITA : ",
                "connessione rifiutata o server irraggiungibile"},
        Failure{"DirectoriesDenied", "deny-dirs", false,
                "ERRORE : FTP DIRECTORY /var/www/vellum/orbis/12 NON CREATA : ",
                "550 Permission denied."},
        Failure{"UploadDenied", "deny-stor", true,
                "ERRORE : FTP INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO : ",
                "550 Permission denied."},
        Failure{"ConnectionDroppedMidTransfer", "drop-transfer", true,
                "ERRORE : FTP INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO : ",
                "(risposta del server: 125 Data connection already open."},
        Failure{"StallingLogin", "stall-login", true, "ERRORE : FTP CONNESSIONE NON RIUSCITA : ",
                "il server non risponde (tempo scaduto)"},
        // The change of directory stalls: the server is asked nothing more, and the step that
        // stalled is the one named.
        Failure{"StallingChangeOfDirectory", "stall-cwd", false,
                "ERRORE : FTP CAMBIO DIRECTORY /var/www/vellum/orbis/12 NON RIUSCITO : ",
                "il server non risponde"},
        Failure{"StallingAfterLogin", "stall-after-login", true,
                "ERRORE : FTP CAMBIO DIRECTORY /var/www/vellum/orbis/12 NON RIUSCITO : ",
                "il server non risponde"},
        // The server answers 226 but kept only part of the file: it is not published.
        Failure{"StoringLessThanSent", "truncate-stor", true,
                "ERRORE : FTP INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO : ",
                "il server ha ricevuto 65536 byte su "},
        Failure{"StallingTransfer", "stall-transfer", true,
                "ERRORE : FTP INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO : ",
                "il server non risponde (tempo scaduto)"}),
    [](const ::testing::TestParamInfo<Failure>& param) { return std::string(param.param.what); });

}  // namespace
}  // namespace catpub
