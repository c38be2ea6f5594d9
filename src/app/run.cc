#include "app/run.h"

#include <new>
#include <optional>
#include <string>

#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "publish/upload.h"

namespace catpub::app {
namespace {

// Returns the line it reported.
std::string Report(const FatalError& failure, ui::WindowHost& host, log::RunLog& run_log,
                   std::FILE* err, bool message_box) {
  const std::string line = ReportLine(failure);
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
  return line;
}

// Form1's life in the host, and how it ended.
Outcome Raise(ui::WindowHost& host, Form1& form) {
  try {
    host.Run(form);  // shown or not, Form1 knows how its run ended
    return form.outcome();
  } catch (const FatalError& error) {
    return Fatal{error};
  } catch (const std::bad_alloc&) {
    return Fatal{FatalError("memoria esaurita")};
  } catch (const std::exception& error) {
    return Fatal{FatalError("errore imprevisto").Because(error.what())};
  }
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

std::string NothingToPublishLine(const NothingToPublish& nothing) {
  return "Nessun articolo da pubblicare: la tabella codean di " + nothing.database +
         " è vuota, nulla è stato inviato al server";
}

Outcome Run(ui::WindowHost& host, Form1& form, log::RunLog& run_log, platform::ShopLock& lock,
            platform::EventLog& events, std::FILE* out, std::FILE* err,
            const platform::SteadyNow& now) {
  const platform::SteadyTime start = now();
  if (std::optional<FatalError> refused = lock.Take()) {
    RecordRunEvent(events, RunEvent::kShopNotTaken, Report(*refused, host, run_log, err, false));
    return Fatal{*std::move(refused)};
  }
  Outcome outcome = Raise(host, form);
  // What failed after the signal (a reader that the same Ctrl-C ended, an aborted transfer)
  // failed because of it.
  if (platform::InterruptingSignal() != 0) outcome = Fatal{platform::Interruption()};
  if (const auto* fatal = std::get_if<Fatal>(&outcome)) {
    RecordRunEvent(events, RunEvent::kFatal,
                   Report(fatal->error, host, run_log, err, host.ShowsMessageBoxes()));
  } else if (const auto* failed = std::get_if<UploadFailed>(&outcome)) {
    RecordRunEvent(events, RunEvent::kUploadFailed,
                   Report(failed->failure, host, run_log, err, false));
  } else if (const auto* published = std::get_if<Published>(&outcome)) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(now() - start);
    const std::string line = PublishedLine(*published, took);
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
    RecordRunEvent(events, RunEvent::kPublished, line);
  } else if (const auto* nothing = std::get_if<NothingToPublish>(&outcome)) {
    RecordRunEvent(events, RunEvent::kNothingToPublish, NothingToPublishLine(*nothing));
  } else if (const auto* configuration = std::get_if<ConfigurationError>(&outcome)) {
    RecordRunEvent(events, RunEvent::kConfigurationError, configuration->message);
  }
  return outcome;
}

}  // namespace catpub::app
