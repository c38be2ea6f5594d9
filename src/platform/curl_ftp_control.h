// The FTP control over libcurl. One easy handle serves the whole run, and a multi handle keeps its
// control connection between steps, so every step after the login goes over the same connection
// (libcurl reconnects by itself when a step failed and the server closed it). Every step is bounded
// in time: a server that stops answering or a transfer that stops moving ends the step with a
// failure, never a hang.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/ftp_control.h"

namespace catpub::platform {

struct FtpTimeouts {
  // TCP connect, the server's greeting and the login; for active data connections, also the wait
  // for the server to connect back.
  long connect_seconds = 30;
  long reply_seconds = 60;  // each reply of the server
  long stall_seconds = 60;  // an upload that moves no byte for this long fails
};

// How the control reaches the publication server, apart from the host and account, which the
// publication sets through FtpControl.
struct CurlFtpSettings {
  int port = 21;
  // Explicit TLS (AUTH TLS) on the control and data connections, required; the server's certificate
  // and name are verified.
  bool tls = false;
  // A PEM file of the CA that signed the server's certificate; empty for the system's CAs.
  std::string ca_file;
  FtpTimeouts timeouts;
};

// The settings the running executable was built with: PUBLISH_FTP_PORT, PUBLISH_FTP_TLS,
// PUBLISH_FTP_CA_FILE, PUBLISH_FTP_CONNECT_TIMEOUT, PUBLISH_FTP_REPLY_TIMEOUT,
// PUBLISH_FTP_STALL_TIMEOUT. Defined in src/compiled_in_settings.cc, which each executable that
// talks to the publication server compiles with a settings header of its own.
CurlFtpSettings CompiledInFtpSettings();

class CurlFtpControl final : public FtpControl {
 public:
  // `fs` turns the local Windows path of PutFile into a Linux path; it must outlive the control.
  // Throws FatalError when libcurl cannot be set up.
  CurlFtpControl(FileSystem& fs, const CurlFtpSettings& settings);
  ~CurlFtpControl() override;
  CurlFtpControl(const CurlFtpControl&) = delete;
  CurlFtpControl& operator=(const CurlFtpControl&) = delete;

  void SetHostname(const std::string& host) override;
  void SetUsername(const std::string& user) override;
  void SetPassword(const std::string& password) override;
  // 1 for passive data connections (EPSV, then PASV), anything else for active ones (EPRT, then
  // PORT, on the address of the control connection).
  void SetPassive(int32_t passive) override;
  // Connects and logs in. 1 on success, 0 on failure.
  int32_t Connect() override;
  // Checks that the directory can be entered: 1 on success, 0 on failure. Uploads go into the
  // directory last named to ChangeRemoteDir or CreateRemoteDir, whether or not that call succeeded,
  // so a file never lands anywhere else; without either, they go into the login directory.
  int32_t ChangeRemoteDir(const std::string& dir) override;
  // Creates the directory (its last level, MKD): 1 on success, 0 on failure.
  int32_t CreateRemoteDir(const std::string& dir) override;
  // Uploads the local file as `remote_name` + ".part" (replacing one an earlier run left), checks
  // that the server holds as many bytes as were sent (SIZE), then renames it to `remote_name`,
  // replacing an older file, so the server never shows a partial or truncated `remote_name`. 1 on
  // success, 0 on failure (the local file unreadable, the directory, the transfer, the size or the
  // rename failed); the ".part" is then deleted, unless the server stopped answering.
  int32_t PutFile(const std::string& local_path, const std::string& remote_name) override;
  // The step that failed last, what its libcurl result code means and the server's last reply,
  // e.g. "connessione a ftp://127.0.0.1:21/ come vellum: accesso rifiutato (utente o password)
  // (risposta del server: 530 Login incorrect.)". Empty before any failure.
  std::string LastError() const override;
  // After a timeout (a step's reply, the connect, a transfer that stopped moving) or a signal.
  bool Stalled() const override;

 private:
  class Session;  // the easy handle with its reply text and lists; lives on the heap, never moves
  FileSystem& fs_;
  std::unique_ptr<Session> session_;
};

}  // namespace catpub::platform
