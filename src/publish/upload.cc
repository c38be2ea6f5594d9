#include "publish/upload.h"

namespace catpub::publish {
namespace {

UploadOutcome Failed(const std::string& step, const std::string& detail) {
  return {UploadResult::kFailed, FatalError("FTP").AtServerStep(step, detail)};
}

// The upload of a written export: the account and passive mode, the connection, the activity's
// directory (entered, or else created) and the file.
UploadOutcome Publish(int32_t codattiv, const FtpAccount& account, platform::FtpControl& ftp,
                      ui::Window& window) {
  ftp.SetHostname(account.host);
  ftp.SetUsername(account.user);
  ftp.SetPassword(account.password);
  ftp.SetPassive(1);
  int32_t connected = ftp.Connect();
  // Only exactly 1 means connected.
  if (connected != 1) {
    return Failed("CONNESSIONE NON RIUSCITA", ftp.LastError());
  }
  std::string dir = RemoteDirectory(codattiv);
  bool create_failed = false;
  std::string create_failure;
  if (ftp.ChangeRemoteDir(dir) == 0) {
    // A server that stopped answering is asked nothing more: waiting for each further step would
    // multiply the timeout, and the step to name is the one that stalled.
    if (ftp.Stalled()) {
      return Failed("CAMBIO DIRECTORY " + dir + " NON RIUSCITO", ftp.LastError());
    }
    // Why the change failed is kept too: a directory that exists but cannot be entered makes the
    // creation fail with a reply that hides the cause.
    const std::string change_failure = ftp.LastError();
    if (ftp.CreateRemoteDir(dir) == 0) {
      if (ftp.Stalled()) return Failed("DIRECTORY " + dir + " NON CREATA", ftp.LastError());
      create_failed = true;
      create_failure = ftp.LastError() + " (CAMBIO DIRECTORY : " + change_failure + ")";
    }
  }
  int32_t put = ftp.PutFile(kExportPath, kUploadRemoteName);
  std::string put_failure = put == 0 ? ftp.LastError() : std::string();
  window.ProcessPendingEvents();
  if (put != 0) return {UploadResult::kUploaded, {}};
  // The upload failed because the directory could not be made: that is the cause to report.
  if (create_failed) return Failed("DIRECTORY " + dir + " NON CREATA", create_failure);
  return Failed(std::string("INVIO DI ") + kExportPath + " NON RIUSCITO", put_failure);
}

}  // namespace

std::string RemoteDirectory(int32_t codattiv) {
  return kRemoteDirPrefix + std::to_string(codattiv);
}

UploadOutcome UploadArticles(bool export_written, int32_t codattiv, const FtpAccount& account,
                             platform::FtpControl& ftp, ui::Window& window) {
  UploadOutcome outcome;
  if (export_written) {
    outcome = Publish(codattiv, account, ftp, window);
  } else {
    window.ProcessPendingEvents();
  }
  window.DisableTimer2();
  window.Unload();
  return outcome;
}

}  // namespace catpub::publish
