// An FTP control that records every call with its arguments and answers with preset results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ftp_control.h"

namespace catpub::testing {

class RecordingFtpControl : public platform::FtpControl {
 public:
  // Results the calls return.
  int32_t connect_result = 1;
  int32_t change_dir_result = 1;
  int32_t create_dir_result = 1;
  int32_t put_file_result = 1;
  // The call after which the server stops answering: from it on Stalled() is true; empty for never.
  std::string stalls_at;

  // Every call in order, as "Name(arg1, arg2)", e.g. "ChangeRemoteDir(/var/www/vellum/orbis/12)".
  const std::vector<std::string>& calls() const { return calls_; }

  void SetHostname(const std::string& host) override { Record("SetHostname(" + host + ")"); }
  void SetUsername(const std::string& user) override { Record("SetUsername(" + user + ")"); }
  void SetPassword(const std::string& password) override {
    Record("SetPassword(" + password + ")");
  }
  void SetPassive(int32_t passive) override {
    Record("SetPassive(" + std::to_string(passive) + ")");
  }
  int32_t Connect() override {
    Record("Connect()", connect_result != 1);
    return connect_result;
  }
  int32_t ChangeRemoteDir(const std::string& dir) override {
    Record("ChangeRemoteDir(" + dir + ")", change_dir_result == 0);
    return change_dir_result;
  }
  int32_t CreateRemoteDir(const std::string& dir) override {
    Record("CreateRemoteDir(" + dir + ")", create_dir_result == 0);
    return create_dir_result;
  }
  int32_t PutFile(const std::string& local_path, const std::string& remote_name) override {
    Record("PutFile(" + local_path + ", " + remote_name + ")", put_file_result == 0);
    return put_file_result;
  }
  // "<call> failed" for the last call whose result meant failure; empty before any.
  std::string LastError() const override { return last_error_; }
  bool Stalled() const override { return stalled_; }

 private:
  void Record(std::string call, bool failed = false) {
    if (stalled_) failed = false;  // the stalled call's failure stays the last
    if (!stalls_at.empty() && call.starts_with(stalls_at)) stalled_ = true;
    if (failed) last_error_ = call + " failed";
    calls_.push_back(std::move(call));
  }
  std::vector<std::string> calls_;
  std::string last_error_;
  bool stalled_ = false;
};

}  // namespace catpub::testing
