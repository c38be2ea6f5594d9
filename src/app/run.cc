#include "app/run.h"

#include <new>
#include <optional>
#include <string>

#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "publish/upload.h"

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
  // Nobody is left to press OK on a run that was asked to end.
  if (message_box && platform::InterruptingSignal() == 0) host.ShowMessage(line);
}

// Form1's life in the host, and how it ended; `failure` is set to the line to report.
ExitStatus Raise(ui::WindowHost& host, Form1& form, std::string& failure) {
  try {
    const bool shown = host.Run(form);
    if (const std::optional<FatalError>& upload = form.upload_failure()) {
      failure = ReportLine(*upload);
      return kUploadFailed;
    }
    return shown ? kConfigurationError : kPublished;
  } catch (const FatalError& error) {
    failure = ReportLine(error);
  } catch (const std::bad_alloc&) {
    failure = ReportLine(FatalError("memoria esaurita"));
  } catch (const std::exception& error) {
    failure = ReportLine(FatalError("errore imprevisto").Because(error.what()));
  }
  return kFatal;
}

}  // namespace

std::string PublishedLine(const Published& published, std::chrono::milliseconds took) {
  const int64_t tenths = (took.count() + 50) / 100;
  return std::string(published.articles == 1
                         ? "Pubblicato 1 articolo"
                         : "Pubblicati " + std::to_string(published.articles) + " articoli") +
         " di " + publish::kExportPath + " sul server " + published.host + " in " +
         published.remote_file + ", in " + std::to_string(tenths / 10) + "," +
         std::to_string(tenths % 10) + " s";
}

ExitStatus Run(ui::WindowHost& host, Form1& form, log::RunLog& run_log, platform::ShopLock& lock,
               std::FILE* out, std::FILE* err, bool message_box) {
  const auto start = std::chrono::steady_clock::now();
  if (std::optional<FatalError> refused = lock.Take()) {
    Report(ReportLine(*refused), host, run_log, err, false);
    return kFatal;
  }
  std::string failure;
  ExitStatus status = Raise(host, form, failure);
  if (platform::InterruptingSignal() != 0) {
    // What failed after the signal (a reader that the same Ctrl-C ended, an aborted transfer)
    // failed because of it.
    failure = ReportLine(platform::Interruption());
    status = kFatal;
  }
  if (!failure.empty()) Report(failure, host, run_log, err, message_box && status == kFatal);
  if (status == kPublished && form.published()) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::fprintf(out, "%s\n", PublishedLine(*form.published(), took).c_str());
    std::fflush(out);
  }
  return status;
}

}  // namespace catpub::app
