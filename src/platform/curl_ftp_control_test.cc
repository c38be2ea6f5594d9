// The FTP control against a real FTP server (tests/ftp_server.py) on 127.0.0.1, checking what lands
// on the server's disk.
#include "platform/curl_ftp_control.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "ftp_server_process.h"
#include "platform/windows_file_system.h"
#include "support/refused_port.h"

namespace catpub::platform {
namespace {

namespace fs = std::filesystem;
using platform::WindowsFileSystem;
using testing::FtpServerOptions;
using testing::FtpServerProcess;

const char kUser[] = "tester";
const char kPassword[] = "Test0nlyPassw0rd";
const char kDir[] = "/var/www/vellum/orbis/12";
const char kLocal[] = "C:\\orbis\\articoli.csv";

std::string Bytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  return bytes;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

class CurlFtpControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "catpub-ftp-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    temp_ = pattern;
    served_ = temp_ / "served";
    fs::create_directories(served_ / "var/www/vellum/orbis");
    fs::create_directories(temp_ / "drives/c/orbis");
    files_ = std::make_unique<WindowsFileSystem>(temp_ / "drives", temp_ / "drives/c");
  }

  void TearDown() override {
    server_.reset();
    if (HasFailure()) {
      std::cerr << "server log:\n" << ReadAll(temp_ / "server.log");
    }
    fs::remove_all(temp_);
  }

  void StartServer(const std::string& fault = "none", const fs::path& cert = {},
                   const fs::path& key = {}) {
    FtpServerOptions options{served_, kUser, kPassword, fault, cert, key, temp_ / "server.log"};
    server_ = std::make_unique<FtpServerProcess>(options);
    port_ = server_->port();
  }

  // A control set up as the publication sets it.
  std::unique_ptr<CurlFtpControl> Control(FtpTimeouts timeouts = {10, 10, 10}, bool tls = false,
                                          const std::string& ca_file = "") {
    CurlFtpSettings settings{port_, tls, ca_file, timeouts};
    auto control = std::make_unique<CurlFtpControl>(*files_, settings);
    control->SetHostname("127.0.0.1");
    control->SetUsername(kUser);
    control->SetPassword(kPassword);
    control->SetPassive(1);
    return control;
  }

  void WriteExport(const std::string& bytes) {
    WriteAll(temp_ / "drives/c/orbis/articoli.csv", bytes);
  }

  // Every file under the served folder, as "relative/path:size", sorted.
  std::string ServedFiles() {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(served_)) {
      if (entry.is_regular_file()) {
        names.insert(fs::relative(entry.path(), served_).string() + ":" +
                     std::to_string(entry.file_size()));
      }
    }
    std::string list;
    for (const std::string& name : names) list += name + " ";
    return list;
  }

  fs::path temp_;
  fs::path served_;
  std::unique_ptr<WindowsFileSystem> files_;
  std::unique_ptr<FtpServerProcess> server_;
  int port_ = 0;
};

// The failure names the step and what was said, and never the password.
void ExpectError(const CurlFtpControl& control, const std::string& step, const std::string& said) {
  std::string error = control.LastError();
  EXPECT_NE(error.find(step), std::string::npos) << error;
  EXPECT_NE(error.find(said), std::string::npos) << error;
  EXPECT_EQ(error.find(kPassword), std::string::npos) << "the password shows in the error";
}

TEST_F(CurlFtpControlTest, ReplacesTheFileInAnExistingDirectoryByteForByteOnOneConnection) {
  StartServer();
  WriteAll(served_ / "var/www/vellum/orbis/12/articoli.csv", "old catalogue\r\n");
  std::string bytes = Bytes(3 << 20, 1) + "8001234567890;LATTE;\r\n";
  WriteExport(bytes);
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  ASSERT_EQ(control->ChangeRemoteDir(kDir), 1) << control->LastError();
  ASSERT_EQ(control->PutFile(kLocal, "articoli.csv"), 1) << control->LastError();
  EXPECT_TRUE(ReadAll(served_ / "var/www/vellum/orbis/12/articoli.csv") == bytes);
  EXPECT_EQ(ServedFiles(),
            "var/www/vellum/orbis/12/articoli.csv:" + std::to_string(bytes.size()) + " ");
  EXPECT_EQ(control->LastError(), "");
  std::string log = server_->Log();
  size_t sessions = 0;
  for (size_t at = log.find("session opened"); at != std::string::npos;
       at = log.find("session opened", at + 1)) {
    ++sessions;
  }
  EXPECT_EQ(sessions, 1u) << "every step goes over the login's control connection";
}

TEST_F(CurlFtpControlTest, CreatesAMissingDirectoryAndUploadsIntoIt) {
  StartServer();
  WriteExport("8001234567890;LATTE;\r\n");
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  EXPECT_EQ(control->ChangeRemoteDir(kDir), 0);
  ExpectError(*control, "cambio di directory in /var/www/vellum/orbis/12", "550");
  ASSERT_EQ(control->CreateRemoteDir(kDir), 1) << control->LastError();
  ASSERT_EQ(control->PutFile(kLocal, "articoli.csv"), 1) << control->LastError();
  EXPECT_EQ(ServedFiles(), "var/www/vellum/orbis/12/articoli.csv:22 ");
}

TEST_F(CurlFtpControlTest, UploadsAnEmptyFileAndOddDirectoryNames) {
  StartServer();
  WriteExport("");
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  for (const char* dir : {"/var/www/vellum/orbis/-5", "/var/www/vellum/orbis/a b%20#"}) {
    EXPECT_EQ(control->ChangeRemoteDir(dir), 0);
    ASSERT_EQ(control->CreateRemoteDir(dir), 1) << control->LastError();
    ASSERT_EQ(control->PutFile(kLocal, "articoli.csv"), 1) << control->LastError();
  }
  EXPECT_EQ(ServedFiles(),
            "var/www/vellum/orbis/-5/articoli.csv:0 var/www/vellum/orbis/a b%20#/articoli.csv:0 ");
}

TEST_F(CurlFtpControlTest, AMissingLocalFileFailsNamingIt) {
  StartServer();
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  ASSERT_EQ(control->ChangeRemoteDir("/var/www/vellum/orbis"), 1) << control->LastError();
  EXPECT_EQ(control->PutFile(kLocal, "articoli.csv"), 0);
  ExpectError(*control, "invio di C:\\orbis\\articoli.csv", "file o cartella inesistente");
  EXPECT_EQ(ServedFiles(), "");
}

TEST_F(CurlFtpControlTest, RefusedLoginFailsTheConnection) {
  StartServer("refuse-login");
  auto control = Control();
  EXPECT_NE(control->Connect(), 1);
  ExpectError(*control, "connessione a ftp://127.0.0.1:" + std::to_string(port_) + "/ come tester",
              "530 Login incorrect.");
}

TEST_F(CurlFtpControlTest, NothingListeningFailsTheConnection) {
  const testing::RefusedPort refused;
  ASSERT_TRUE(refused.held());
  port_ = refused.port();
  auto control = Control();
  EXPECT_NE(control->Connect(), 1);
  ExpectError(*control, "connessione a", "connessione rifiutata");
}

TEST_F(CurlFtpControlTest, DeniedDirectoriesLeaveTheFileNowhere) {
  StartServer("deny-dirs");
  WriteExport("8001234567890;LATTE;\r\n");
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  EXPECT_EQ(control->ChangeRemoteDir(kDir), 0);
  EXPECT_EQ(control->CreateRemoteDir(kDir), 0);
  ExpectError(*control, "creazione della directory /var/www/vellum/orbis/12", "550");
  EXPECT_EQ(control->PutFile(kLocal, "articoli.csv"), 0);
  ExpectError(*control, "invio di C:\\orbis\\articoli.csv", "550");
  EXPECT_EQ(ServedFiles(), "");
}

TEST_F(CurlFtpControlTest, DeniedStoreFailsTheUpload) {
  StartServer("deny-stor");
  fs::create_directories(served_ / "var/www/vellum/orbis/12");
  WriteExport("8001234567890;LATTE;\r\n");
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  ASSERT_EQ(control->ChangeRemoteDir(kDir), 1) << control->LastError();
  EXPECT_EQ(control->PutFile(kLocal, "articoli.csv"), 0);
  ExpectError(*control, "invio di C:\\orbis\\articoli.csv", "550 Permission denied.");
  EXPECT_EQ(ServedFiles(), "");
}

// The size check and the rename add steps, never a connection; a ".part" an earlier run left is
// replaced.
TEST_F(CurlFtpControlTest, AnOldPartFileIsReplacedAndTheUploadVerifiedOnOneConnection) {
  StartServer();
  WriteAll(served_ / "var/www/vellum/orbis/12/articoli.csv.part", Bytes(5 << 20, 3));
  const std::string bytes = Bytes(1 << 20, 4);
  WriteExport(bytes);
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  ASSERT_EQ(control->ChangeRemoteDir(kDir), 1) << control->LastError();
  ASSERT_EQ(control->PutFile(kLocal, "articoli.csv"), 1) << control->LastError();
  EXPECT_EQ(ServedFiles(), "var/www/vellum/orbis/12/articoli.csv:" + std::to_string(1 << 20) + " ");
  EXPECT_TRUE(ReadAll(served_ / "var/www/vellum/orbis/12/articoli.csv") == bytes);
  const std::string log = server_->Log();
  EXPECT_EQ(log.find("session opened"), log.rfind("session opened")) << log;
}

// A server that answers 226 for a file it stored only in part: the file is not put in place, and
// the part it kept is deleted.
TEST_F(CurlFtpControlTest, AServerThatStoresLessThanItWasSentFailsTheUpload) {
  StartServer("truncate-stor");
  WriteAll(served_ / "var/www/vellum/orbis/12/articoli.csv", "old catalogue\r\n");
  WriteExport(Bytes(1 << 20, 5));
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  ASSERT_EQ(control->ChangeRemoteDir(kDir), 1) << control->LastError();
  EXPECT_EQ(control->PutFile(kLocal, "articoli.csv"), 0);
  ExpectError(*control, "invio di C:\\orbis\\articoli.csv",
              "il server ha ricevuto 65536 byte su 1048576");
  EXPECT_EQ(ServedFiles(), "var/www/vellum/orbis/12/articoli.csv:15 ");
  EXPECT_FALSE(control->Stalled());
}

// Once a step has waited a whole timeout, the later steps fail at once with that step's failure.
TEST_F(CurlFtpControlTest, AfterAStalledStepNothingMoreIsAsked) {
  StartServer("stall-after-login");
  WriteExport("8001234567890;LATTE;\r\n");
  auto control = Control({10, 1, 10});
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  EXPECT_FALSE(control->Stalled());
  EXPECT_EQ(control->ChangeRemoteDir(kDir), 0);
  EXPECT_TRUE(control->Stalled());
  const std::string failure = control->LastError();
  ExpectError(*control, "cambio di directory in /var/www/vellum/orbis/12",
              "il server non risponde");
  EXPECT_EQ(failure.find("257"), std::string::npos) << "an earlier step's reply: " << failure;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(control->CreateRemoteDir(kDir), 0);
  EXPECT_EQ(control->PutFile(kLocal, "articoli.csv"), 0);
  EXPECT_EQ(control->Connect(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(control->LastError(), failure);
  const std::string log = server_->Log();
  EXPECT_EQ(log.find("session opened"), log.rfind("session opened")) << log;
}

TEST_F(CurlFtpControlTest, ADroppedTransferLeavesTheOldFileInPlace) {
  StartServer("drop-transfer");
  WriteAll(served_ / "var/www/vellum/orbis/12/articoli.csv", "old catalogue\r\n");
  WriteExport(Bytes(4 << 20, 2));
  auto control = Control();
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  ASSERT_EQ(control->ChangeRemoteDir(kDir), 1) << control->LastError();
  EXPECT_EQ(control->PutFile(kLocal, "articoli.csv"), 0);
  ExpectError(*control, "invio di C:\\orbis\\articoli.csv", "");
  EXPECT_EQ(ReadAll(served_ / "var/www/vellum/orbis/12/articoli.csv"), "old catalogue\r\n");
  // What the server received of the file is deleted, over a new connection.
  EXPECT_EQ(ServedFiles(), "var/www/vellum/orbis/12/articoli.csv:15 ");
}

// A server that stops answering, or stops reading an upload, fails the step once the timeout for
// that case has passed; the bound is generous, what matters is that the step ends.
TEST_F(CurlFtpControlTest, AStallingServerFailsTheStepInsteadOfHanging) {
  const struct {
    const char* fault;
    FtpTimeouts timeouts;
    const char* step;
    const char* said;
  } cases[] = {
      {"stall-login", {1, 30, 30}, "connessione a", "il server non risponde (tempo scaduto)"},
      {"stall-cwd",
       {30, 1, 30},
       "cambio di directory in /var/www/vellum/orbis/12",
       "il server non risponde (tempo scaduto)"},
      {"stall-transfer",
       {30, 30, 1},
       "invio di C:\\orbis\\articoli.csv",
       "il server non risponde (tempo scaduto)"},
  };
  fs::create_directories(served_ / "var/www/vellum/orbis/12");
  WriteExport(std::string(32 << 20, ';'));  // more than the loopback socket buffers hold
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    StartServer(c.fault);
    auto control = Control(c.timeouts);
    auto start = std::chrono::steady_clock::now();
    bool failed = control->Connect() != 1 || control->ChangeRemoteDir(kDir) == 0 ||
                  control->PutFile(kLocal, "articoli.csv") == 0;
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(failed);
    EXPECT_LT(took, std::chrono::seconds(10));
    ExpectError(*control, c.step, c.said);
    EXPECT_FALSE(fs::exists(served_ / "var/www/vellum/orbis/12/articoli.csv"));
  }
}

// Makes a private CA and a certificate for 127.0.0.1 signed by it, in `folder`: ca.pem, server.pem,
// server.key.
void MakeCertificates(const fs::path& folder) {
  fs::create_directories(folder);
  WriteAll(folder / "san.cnf", "subjectAltName=IP:127.0.0.1\n");
  const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  std::string commands =
      "cd '" + folder.string() + "' && (" +  //
      "openssl req -x509" + key + " -keyout ca.key -out ca.pem -days 2 -subj /CN=catpub-ca && " +
      "openssl req" + key + " -keyout server.key -out server.csr -subj /CN=127.0.0.1 && " +
      "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 " +
      "-extfile san.cnf -out server.pem) > openssl.log 2>&1";
  ASSERT_EQ(std::system(commands.c_str()), 0) << ReadAll(folder / "openssl.log");
}

TEST_F(CurlFtpControlTest, OverTlsUploadsOnlyToAServerWhoseCertificateIsVerified) {
  fs::path tls = temp_ / "tls";
  MakeCertificates(tls);
  StartServer("none", tls / "server.pem", tls / "server.key");
  WriteExport("8001234567890;LATTE;\r\n");

  auto plain = Control();
  EXPECT_NE(plain->Connect(), 1);
  auto unverified = Control({10, 10, 10}, true);
  EXPECT_NE(unverified->Connect(), 1);
  ExpectError(*unverified, "connessione a", "certificat");

  auto control = Control({10, 10, 10}, true, (tls / "ca.pem").string());
  ASSERT_EQ(control->Connect(), 1) << control->LastError();
  EXPECT_EQ(control->ChangeRemoteDir(kDir), 0);
  ASSERT_EQ(control->CreateRemoteDir(kDir), 1) << control->LastError();
  ASSERT_EQ(control->PutFile(kLocal, "articoli.csv"), 1) << control->LastError();
  EXPECT_EQ(ServedFiles(), "var/www/vellum/orbis/12/articoli.csv:22 ");
}

}  // namespace
}  // namespace catpub::platform
