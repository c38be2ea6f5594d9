// Runs as a scheduler and an admin treat them: cron starting the next run before the last one has
// ended, a run started by hand meanwhile, a shop held for too long, systemd stopping the job or an
// admin's Ctrl-C in the middle of the export or of the upload, a run killed outright during the
// export. catalog-publisher-e2e (the test server's port, 3-second timeouts, an 8-second wait for
// another run) publishes to the test FTP server; what a run leaves is read from the shop's folders
// and the server's disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ftp_server_process.h"
#include "support/catalogue.h"
#include "support/e2e_server.h"
#include "support/run_program.h"
#include "support/shop.h"
#include "support/temp_dir.h"

namespace catpub {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::Catalogue;
using testing::ReadBytes;

constexpr char kOrbis[] = "var/www/vellum/orbis";
constexpr char kOldExport[] = "vecchio catalogo;\r\n";
constexpr char kInterrupted[] = "ERRORE : esecuzione interrotta dal segnale SIGTERM";

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string Unstamped(const std::string& log) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d-)");
  return std::regex_replace(log, stamp, "<stamp>-");
}

std::string Repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// Waits up to `seconds` for `ready`, checking often; false when it never was.
bool WaitFor(const std::function<bool()>& ready, int seconds = 60) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!ready()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return true;
}

// Whether the program, running as process `pid`, has `path` open (before the program is started,
// the forked test process holds the test's own descriptors).
bool HoldsOpen(pid_t pid, const fs::path& path) {
  std::error_code error;
  const fs::path proc = "/proc/" + std::to_string(pid);
  if (fs::read_symlink(proc / "exe", error) != fs::path(CATPUB_E2E_EXECUTABLE)) return false;
  for (const auto& fd : fs::directory_iterator(proc / "fd", error)) {
    if (fs::read_symlink(fd.path(), error) == path) return true;
  }
  return false;
}

class RunsEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(Remote("12")); }

  void MakeShop(int articles) { WriteShop(shop_, int32_t{12}, Catalogue(articles)); }

  void StartServer(const std::string& fault = "none") {
    ASSERT_TRUE(testing::StartE2eServer(server_dir_.path() / "root",
                                        server_dir_.path() / "server.log", fault, server_));
  }

  std::unique_ptr<testing::StartedProgram> Start(rlim_t address_space = RLIM_INFINITY) {
    return std::make_unique<testing::StartedProgram>(
        CATPUB_E2E_EXECUTABLE, shop_.Drive('c'),
        std::map<std::string, std::string>{{"CATALOG_PUBLISHER_DRIVES", shop_.drives().string()},
                                           {"DISPLAY", ""}},
        address_space);
  }

  fs::path Orbis() const { return shop_.Drive('c') / "orbis"; }
  fs::path LocalExport() const { return Orbis() / "articoli.csv"; }
  fs::path Remote(const std::string& relative) const {
    return server_dir_.path() / "root" / kOrbis / relative;
  }
  void OldExport() const { std::ofstream(LocalExport(), std::ios::binary) << kOldExport; }

  // The names in C:\orbis, sorted.
  std::vector<std::string> OrbisFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Orbis())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // True while a run's temporary export exists.
  bool Exporting() const {
    for (const auto& entry : fs::directory_iterator(Orbis())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("articoli.csv.") && name.ends_with(".tmp")) return true;
    }
    return false;
  }

  // The export as a run with `articles` articles leaves it: whole, no NUL byte, published as is,
  // with nothing else in C:\orbis but what `folder` names.
  void ExpectPublished(int articles, const std::vector<std::string>& folder = {"articoli.csv",
                                                                               "bkp", "dati.mdb"}) {
    const std::string local = ReadBytes(LocalExport());
    EXPECT_EQ(Count(local, "\r\n"), static_cast<size_t>(articles));
    EXPECT_EQ(local.find('\0'), std::string::npos) << "NUL bytes in the export";
    EXPECT_TRUE(ReadBytes(Remote("12/articoli.csv")) == local) << "the server's file differs";
    EXPECT_FALSE(fs::exists(Remote("12/articoli.csv.part")));
    EXPECT_EQ(OrbisFolder(), folder);
  }

  // No reader process of this shop is left.
  void ExpectNoReaderLeft() const {
    const std::string database = (Orbis() / "dati.mdb").string();
    for (const auto& entry : fs::directory_iterator("/proc")) {
      std::string command = ReadBytes(entry.path() / "cmdline");
      std::replace(command.begin(), command.end(), '\0', ' ');
      EXPECT_EQ(command.find(database), std::string::npos) << "left running: " << command;
    }
  }

  // The log of one complete run of this shop, stamps blanked; the one run it takes is logged.
  std::string OneRunLog() {
    testing::ProgramResult result = Start()->Wait();
    EXPECT_EQ(result.exit_status, 0) << result.err;
    return Unstamped(shop_.Log());
  }

  testing::Shop shop_;
  testing::TempDir server_dir_;
  std::unique_ptr<testing::FtpServerProcess> server_;
};

// Cron and an admin start runs a few milliseconds apart: they take turns, and neither loses a line
// or publishes a file the other is writing.
TEST_F(RunsEndToEnd, RunsStartedTogetherTakeTurnsAndLoseNothing) {
  constexpr int kArticles = 3000;
  constexpr int kRounds = 8;
  MakeShop(kArticles);
  StartServer();
  const std::string one_run = OneRunLog();
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto first = Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(round));
    auto second = Start();
    for (testing::StartedProgram* run : {first.get(), second.get()}) {
      testing::ProgramResult result = run->Wait();
      EXPECT_EQ(result.exit_status, 0) << result.err;
      EXPECT_EQ(result.err, "");
    }
  }
  EXPECT_EQ(Unstamped(shop_.Log()), Repeated(one_run, 1 + 2 * kRounds));
  ExpectPublished(kArticles);
}

// The next run starts while the last one is writing a large export: it waits, then publishes its
// own export whole.
TEST_F(RunsEndToEnd, ARunStartedDuringALargeExportWaitsForItsEnd) {
  constexpr int kArticles = 40000;
  MakeShop(kArticles);
  StartServer();
  const std::string one_run = OneRunLog();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto first = Start();
    ASSERT_TRUE(WaitFor([&] { return Exporting() || !first->Running(); }));
    EXPECT_TRUE(first->Running()) << "the export ended before the second run could start";
    auto second = Start();
    for (testing::StartedProgram* run : {first.get(), second.get()}) {
      testing::ProgramResult result = run->Wait();
      EXPECT_EQ(result.exit_status, 0) << result.err;
    }
  }
  EXPECT_EQ(Unstamped(shop_.Log()), Repeated(one_run, 5));
  ExpectPublished(kArticles);
}

// A shop that another run holds for longer than a run waits (8 s in this build): one line says so,
// and nothing else is touched.
TEST_F(RunsEndToEnd, AShopHeldForTooLongIsReportedAndLeftAlone) {
  if (testing::kUnderWine) {
    GTEST_SKIP()
        << "a Linux lock on the folder is nothing to a Windows program; two runs take turns "
           "under Wine in the tests above";
  }
  MakeShop(10);
  OldExport();
  const fs::path log = shop_.Drive('c') / "orbis/bkp/logrul3_01012026.txt";
  std::ofstream(log, std::ios::binary) << "riga di un'altra esecuzione\r\n";
  const std::vector<std::string> folder = OrbisFolder();
  const int held = open(Orbis().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  const auto started = Clock::now();
  testing::ProgramResult result = Start()->Wait();
  const auto waited = Clock::now() - started;
  close(held);

  const std::string line =
      "ERRORE : un'altra esecuzione del programma occupa C:\\orbis da oltre 8 secondi: questa "
      "esecuzione non parte";
  EXPECT_EQ(result.exit_status, 3) << result.err;
  EXPECT_EQ(result.err, line + "\n");
  EXPECT_GE(waited, std::chrono::seconds(8));
  EXPECT_EQ(ReadBytes(LocalExport()), kOldExport);
  EXPECT_EQ(ReadBytes(log), "riga di un'altra esecuzione\r\n");
  // Today's log gets the report, and nothing else.
  EXPECT_EQ(OrbisFolder(), folder);
  size_t logs = 0;
  for (const auto& entry : fs::directory_iterator(Orbis() / "bkp")) {
    if (entry.path() != log) {
      ++logs;
      EXPECT_EQ(ReadBytes(entry.path()), line + "\r\n");
    }
  }
  EXPECT_EQ(logs, 1u);
}

// systemd stops the job (SIGTERM), an admin presses Ctrl-C (SIGINT) or closes the terminal
// (SIGHUP) while the export is being written: the readers end, the temporary export goes, the
// previous export stays, and the log says why the run ended.
TEST_F(RunsEndToEnd, ASignalDuringTheExportEndsTheRunCleanly) {
  if (testing::kUnderWine) {
    GTEST_SKIP() << "Windows has no signals; its console events cannot be sent from outside Wine";
  }
  MakeShop(60000);
  OldExport();
  StartServer();
  for (const auto& [signal, name] :
       {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"}, std::pair{SIGHUP, "SIGHUP"}}) {
    SCOPED_TRACE(name);
    auto run = Start();
    ASSERT_TRUE(WaitFor([&] { return Exporting() || !run->Running(); }));
    // Stopped at once, so that the signal comes during the export however fast it is.
    kill(run->pid(), SIGSTOP);
    ASSERT_TRUE(run->Running()) << "the export ended before the signal could be sent";
    kill(run->pid(), signal);
    kill(run->pid(), SIGCONT);
    testing::ProgramResult result = run->Wait();

    const std::string line = std::string("ERRORE : esecuzione interrotta dal segnale ") + name;
    EXPECT_EQ(result.exit_status, 3) << result.err;
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.err, line + "\n");
    EXPECT_TRUE(shop_.Log().ends_with("- Cassa 0 OK\r\n" + line + "\r\n")) << shop_.Log();
    EXPECT_EQ(ReadBytes(LocalExport()), kOldExport);
    EXPECT_EQ(OrbisFolder(), (std::vector<std::string>{"articoli.csv", "bkp", "dati.mdb"}));
    EXPECT_FALSE(fs::exists(Remote("12/articoli.csv")));
    ExpectNoReaderLeft();
  }
}

// An operator, a scheduler's hard stop or the out-of-memory killer ends a run with SIGKILL during
// the export: that run cannot remove its temporary export, and the next run does. Files that merely
// look like one, and one in another folder, are left alone.
TEST_F(RunsEndToEnd, TheNextRunRemovesTheTemporaryExportOfARunKilledDuringTheExport) {
  constexpr int kArticles = 300000;
  MakeShop(kArticles);
  OldExport();
  StartServer();
  auto killed = Start();
  // Under Wine the name holds the Windows process id, which this test does not know: the one
  // temporary export there is.
  auto left = [&] {
    if (!testing::kUnderWine) {
      return Orbis() / ("articoli.csv." + std::to_string(killed->pid()) + ".tmp");
    }
    for (const auto& entry : fs::directory_iterator(Orbis())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("articoli.csv.") && name.ends_with(".tmp")) return entry.path();
    }
    return fs::path();
  };
  // Killed once part of its export has reached the disk.
  auto written = [&] {
    std::error_code error;
    const auto size = fs::file_size(left(), error);
    return !error && size > 0;
  };
  ASSERT_TRUE(WaitFor([&] { return written() || !killed->Running(); }));
  kill(killed->pid(), SIGKILL);
  EXPECT_EQ(killed->Wait().signal, SIGKILL);
  ASSERT_TRUE(written()) << "the export ended before the run could be killed";
  // A leftover of a run before, named as Windows may spell it, and what merely looks like one.
  for (const char* name : {"ARTICOLI.CSV.4194304.TMP", "articoli.csv.tmp", "articoli.csv.12a.tmp",
                           "articoli.csv.12.tmp.bak", "articoli.csv.7.tmp/articoli.csv.8.tmp"}) {
    fs::create_directories((Orbis() / name).parent_path());
    std::ofstream(Orbis() / name, std::ios::binary) << kOldExport;
  }

  testing::ProgramResult result = Start()->Wait();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  ExpectPublished(kArticles, {"articoli.csv", "articoli.csv.12.tmp.bak", "articoli.csv.12a.tmp",
                              "articoli.csv.7.tmp", "articoli.csv.tmp", "bkp", "dati.mdb"});
  EXPECT_TRUE(fs::is_regular_file(Orbis() / "articoli.csv.7.tmp/articoli.csv.8.tmp"));
}

// A run waiting for another one is asked to end: it ends at once, and says so.
TEST_F(RunsEndToEnd, ASignalWhileWaitingForAnotherRunEndsTheWait) {
  if (testing::kUnderWine) {
    GTEST_SKIP() << "Windows has no signals; its console events cannot be sent from outside Wine";
  }
  MakeShop(10);
  const int held = open(Orbis().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  auto run = Start();
  // The run has opened C:\\orbis to lock it: it is waiting.
  ASSERT_TRUE(WaitFor([&] { return HoldsOpen(run->pid(), Orbis()) || !run->Running(); }));
  const auto signalled = Clock::now();
  kill(run->pid(), SIGTERM);
  testing::ProgramResult result = run->Wait();
  const auto took = Clock::now() - signalled;
  close(held);

  EXPECT_EQ(result.exit_status, 3) << result.err;
  EXPECT_EQ(result.err, std::string(kInterrupted) + "\n");
  EXPECT_LT(took, std::chrono::seconds(3)) << "the wait went on after the signal";
  EXPECT_EQ(shop_.Log(), std::string(kInterrupted) + "\r\n");
}

// The signal comes while the server holds part of the upload: the part is deleted, the server's
// file stays as it was.
TEST_F(RunsEndToEnd, SigtermDuringTheUploadRemovesThePartialUpload) {
  if (testing::kUnderWine) {
    GTEST_SKIP() << "Windows has no signals; its console events cannot be sent from outside Wine";
  }
  constexpr int kArticles = 2000;  // past the 64 KiB after which the server stops reading
  MakeShop(kArticles);
  std::ofstream(Remote("12/articoli.csv"), std::ios::binary) << "yesterday's catalogue\r\n";
  StartServer("stall-transfer");
  auto run = Start();
  const fs::path part = Remote("12/articoli.csv.part");
  // The server creates the file when the transfer starts (what it has written may lag behind in
  // its buffers).
  ASSERT_TRUE(WaitFor([&] { return fs::exists(part) || !run->Running(); }));
  ASSERT_TRUE(run->Running()) << "the upload ended before the signal could be sent";
  kill(run->pid(), SIGTERM);
  testing::ProgramResult result = run->Wait();

  EXPECT_EQ(result.exit_status, 3) << result.err;
  EXPECT_EQ(result.err, std::string(kInterrupted) + "\n");
  EXPECT_FALSE(fs::exists(part));
  EXPECT_EQ(ReadBytes(Remote("12/articoli.csv")), "yesterday's catalogue\r\n");
  EXPECT_EQ(Count(ReadBytes(LocalExport()), "\r\n"), static_cast<size_t>(kArticles));
  EXPECT_EQ(Count(shop_.Log(), "ERRORE"), 1u) << shop_.Log();
}

}  // namespace
}  // namespace catpub
