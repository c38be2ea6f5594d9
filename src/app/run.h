// One run of the program: Form1 in its window, and how the run ended.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "app/form1.h"
#include "app/outcome.h"
#include "app/run_event.h"
#include "log/run_log.h"
#include "platform/event_log.h"
#include "platform/shop_lock.h"
#include "platform/steady_time.h"
#include "ui/window.h"

namespace catpub::app {

// Takes the shop (`lock`), then raises Form1's life in `host`, and returns how the run ended:
// Form1's outcome, or Fatal. The exceptions that end the run are caught here and nowhere else: any
// exception counts as Fatal, so the run never ends with an abort. A run that a signal interrupted
// is Fatal and reports that, whatever else failed on the way out.
//
// UploadFailed and Fatal are reported on `err` as one line starting with "ERRORE" and appended as
// a plain line to the run log (reopened if it was closed); Fatal is also shown in a message box
// when the host shows them. A shop that the lock refuses (another run holds it for longer than the
// lock waits, or it cannot be locked) is Fatal, reported the same way but never in a message box,
// and this run does nothing else. Published is said on `out`, in one line: how many articles,
// where, how long it took (measured by `now`), so that a scheduler's journal shows every run.
//
// Every run, however it ends, records exactly one entry in `events` (RunEvent): the Published line
// or the ERRORE line as printed, or for the two outcomes that print nothing NothingToPublishLine
// and the configuration error's message. What `events` does with it changes nothing else.
Outcome Run(ui::WindowHost& host, Form1& form, log::RunLog& run_log, platform::ShopLock& lock,
            platform::EventLog& events, std::FILE* out, std::FILE* err,
            const platform::SteadyNow& now = std::chrono::steady_clock::now);

// "Pubblicati 300 articoli di C:\orbis\articoli.csv sul server 127.0.0.1 in
// /var/www/vellum/orbis/12/articoli.csv, in 1,4 s"
std::string PublishedLine(const Published& published, std::chrono::milliseconds took);

// "Nessun articolo da pubblicare: la tabella codean di C:\ORBIS\DATI.MDB è vuota, nulla è stato
// inviato al server"
std::string NothingToPublishLine(const NothingToPublish& nothing);

}  // namespace catpub::app
