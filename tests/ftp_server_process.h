// Runs tests/ftp_server.py as a child process on 127.0.0.1 and an ephemeral (or a given) port, for
// tests and benchmarks that need a real FTP server. The server stops (SIGTERM, then SIGKILL) when
// the object is destroyed. The interpreter and the script come from the build (CATPUB_PYTHON,
// CATPUB_FTP_SERVER_SCRIPT).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace catpub::testing {

struct FtpServerOptions {
  std::filesystem::path root;  // served as "/"
  std::string user;
  std::string password;
  // none, refuse-login, deny-dirs, deny-stor, drop-transfer, stall-login, stall-after-login,
  // stall-cwd, stall-transfer, truncate-stor (tests/ftp_server.py)
  std::string fault = "none";
  std::filesystem::path tls_cert;  // PEM certificate and key: TLS required on control and data
  std::filesystem::path tls_key;
  std::filesystem::path log_file;  // the server's own log; /dev/null when empty
  int port = 0;                    // 0: a free port
};

class FtpServerProcess {
 public:
  // Starts the server and waits up to 20 s for it to report its port. Throws std::runtime_error
  // when it does not, e.g. because the port asked for is taken (the server's log then says so).
  explicit FtpServerProcess(const FtpServerOptions& options) : log_file_(options.log_file) {
    std::vector<std::string> args = {CATPUB_PYTHON, CATPUB_FTP_SERVER_SCRIPT,
                                     "--root",      options.root.string(),
                                     "--user",      options.user,
                                     "--password",  options.password,
                                     "--fault",     options.fault,
                                     "--port",      std::to_string(options.port)};
    if (!options.tls_cert.empty()) {
      args.insert(args.end(),
                  {"--tls-cert", options.tls_cert.string(), "--tls-key", options.tls_key.string()});
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string log = log_file_.empty() ? "/dev/null" : log_file_.string();

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      int err = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (dup2(out[1], STDOUT_FILENO) < 0 || err < 0 || dup2(err, STDERR_FILENO) < 0) _exit(127);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
      close(out[0]);
      throw std::runtime_error("fork failed");
    }
    stdout_ = out[0];
    port_ = ReadPort();
    if (port_ <= 0) {
      Stop();
      throw std::runtime_error("the FTP server did not start: " + Log());
    }
  }

  ~FtpServerProcess() { Stop(); }
  FtpServerProcess(const FtpServerProcess&) = delete;
  FtpServerProcess& operator=(const FtpServerProcess&) = delete;

  int port() const { return port_; }

  // The server's log so far.
  std::string Log() const {
    std::ifstream in(log_file_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  int ReadPort() {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{stdout_, POLLIN, 0};
      if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return 0;
      char buffer[64];
      ssize_t got = read(stdout_, buffer, sizeof buffer);
      if (got <= 0) return 0;
      line.append(buffer, static_cast<size_t>(got));
    }
    return std::stoi(line);
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          kill(pid_, SIGKILL);
          waitpid(pid_, nullptr, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      pid_ = -1;
    }
    if (stdout_ >= 0) close(stdout_);
    stdout_ = -1;
  }

  std::filesystem::path log_file_;
  pid_t pid_ = -1;
  int stdout_ = -1;
  int port_ = 0;
};

}  // namespace catpub::testing
