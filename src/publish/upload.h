// The upload half of PublishArticles: sends the export file "C:\orbis\articoli.csv" to the
// activity's directory of the publication server, then unloads the window. The calls on the FTP
// control, their arguments and order are the original program's; what is new is that a failure is
// returned for the caller to report instead of being dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/fatal_error.h"
#include "platform/ftp_control.h"
#include "publish/export_path.h"
#include "ui/window.h"

namespace catpub::publish {

inline constexpr char kUploadRemoteName[] = "articoli.csv";
inline constexpr char kRemoteDirPrefix[] = "/var/www/vellum/orbis/";

// The publication server's address and account.
struct FtpAccount {
  std::string host;
  std::string user;
  std::string password;
};

// The account the running executable was built with (PUBLISH_FTP_HOST, PUBLISH_FTP_USER,
// PUBLISH_FTP_PASSWORD). Defined in src/compiled_in_settings.cc, compiled into each executable with
// a settings header of its own.
FtpAccount CompiledInFtpAccount();

// "/var/www/vellum/orbis/" followed by the decimal activity code, with no "/" after it: 12 gives
// "/var/www/vellum/orbis/12", -5 gives "/var/www/vellum/orbis/-5".
std::string RemoteDirectory(int32_t codattiv);

enum class UploadResult {
  kNothingToUpload,  // the export wrote no file; nothing went to the network
  kUploaded,
  kFailed,
};

struct UploadOutcome {
  UploadResult result = UploadResult::kNothingToUpload;
  // For kFailed, what to report (not thrown: the export stays, the run ends with its own status):
  // "FTP", the failed step, what the server or the transport said. Never holds the password.
  std::optional<FatalError> failure;
};

// Runs the upload: with `export_written` false it only processes pending window events once;
// otherwise it sets the account and passive mode, connects, changes into (or else creates) the
// activity's directory and puts the file, then processes pending events once. In every case it then
// switches Timer2 off and unloads the window. A failed connection stops before any directory call;
// a failed directory creation is followed by the upload all the same, and is what gets reported
// when that upload fails too.
UploadOutcome UploadArticles(bool export_written, int32_t codattiv, const FtpAccount& account,
                             platform::FtpControl& ftp, ui::Window& window);

}  // namespace catpub::publish
