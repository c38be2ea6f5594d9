#include "app/run.h"

#include <string>

#include "platform/fatal_error.h"

namespace catpub::app {
namespace {

void Report(const std::string& line, ui::WindowHost& host, log::RunLog& run_log, std::FILE* err,
            bool message_box) {
  std::fprintf(err, "%s\n", line.c_str());
  std::fflush(err);
  // The report must not fail in its turn: a log that cannot be written (its folder missing, the
  // disk full) is what may have ended the run.
  try {
    run_log.AppendAfterClose(line);
    run_log.CloseAllFiles();
  } catch (const FatalError&) {
  }
  if (message_box) host.ShowMessage(line);
}

}  // namespace

ExitStatus Run(ui::WindowHost& host, Form1& form, log::RunLog& run_log, std::FILE* err,
               bool message_box) {
  try {
    const bool shown = host.Run(form);
    if (const std::optional<std::string>& failure = form.upload_failure()) {
      Report(*failure, host, run_log, err, false);
      return kUploadFailed;
    }
    return shown ? kConfigurationError : kPublished;
  } catch (const FatalError& error) {
    // A message that already is a log line (the export's own) is kept as it stands.
    const std::string what = error.what();
    const std::string line = what.starts_with("ERRORE") ? what : "ERRORE : " + what;
    Report(line, host, run_log, err, message_box);
    return kFatal;
  }
}

}  // namespace catpub::app
