// One run of the program: Form1 in its window, and how the run ended as the exit status.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "app/form1.h"
#include "log/run_log.h"
#include "platform/shop_lock.h"
#include "ui/window.h"

namespace catpub::app {

enum ExitStatus : int {
  kPublished = 0,           // uploaded, or nothing to upload
  kConfigurationError = 1,  // the window stayed open on an error of the shop's configuration
  kUploadFailed = 2,
  kFatal = 3,  // the run could not go on
};

// Takes the shop (`lock`), then raises Form1's life in `host`. A failure that ends the run is
// reported on `err` as one line starting with "ERRORE", appended as a plain line to the run log
// (reopened if it was closed) and, when `message_box` is set, shown in a message box. Any exception
// counts as a fatal error (status 3), so the run never ends with an abort; a run that a signal
// interrupted reports that, whatever else failed on the way out, with status 3. A shop that the lock
// refuses (another run holds it for longer than the lock waits, or it cannot be locked) is
// reported the same way, without a message box, and this run does nothing else. A run that published says so on `out`, in one line: how many articles, where, how long it
// took, so that a scheduler's journal shows every run.
ExitStatus Run(ui::WindowHost& host, Form1& form, log::RunLog& run_log, platform::ShopLock& lock,
               std::FILE* out, std::FILE* err, bool message_box);

// "Pubblicati 300 articoli di C:\orbis\articoli.csv sul server 127.0.0.1 in
// /var/www/vellum/orbis/12/articoli.csv, in 1,4 s"
std::string PublishedLine(const Published& published, std::chrono::milliseconds took);

}  // namespace catpub::app
