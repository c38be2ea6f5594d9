// The FTP control: the few steps the publication takes on one connection to the publication server.
// Results are status values, tested by the caller exactly as they come.
#pragma once

#include <cstdint>
#include <string>

namespace catpub::platform {

class FtpControl {
 public:
  virtual ~FtpControl() = default;
  virtual void SetHostname(const std::string& host) = 0;
  virtual void SetUsername(const std::string& user) = 0;
  virtual void SetPassword(const std::string& password) = 0;
  // 1 asks for passive data transfers.
  virtual void SetPassive(int32_t passive) = 0;
  // Connects and logs in. 1 on success; any other value is a failure.
  virtual int32_t Connect() = 0;
  // Changes into an absolute remote directory. 0 on failure.
  virtual int32_t ChangeRemoteDir(const std::string& dir) = 0;
  // Creates an absolute remote directory (its last level). 0 on failure.
  virtual int32_t CreateRemoteDir(const std::string& dir) = 0;
  // Uploads the local file (a Windows path) under `remote_name` into the directory last named to
  // ChangeRemoteDir or CreateRemoteDir, also when that call failed: the file lands there or
  // nowhere. It appears there whole (an older file is replaced in one step). 0 on failure.
  virtual int32_t PutFile(const std::string& local_path, const std::string& remote_name) = 0;
  // What the last failed step was told by the server (or the transport), for the run log. Never
  // contains the password.
  virtual std::string LastError() const = 0;
  // True once a step failed because the server stopped answering (or a signal ended it): every
  // later step fails at once without asking the server, and LastError stays that step's.
  virtual bool Stalled() const = 0;
};

}  // namespace catpub::platform
