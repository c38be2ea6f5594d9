// One run of the program: Form1 in its window, and how the run ended as the exit status.
#pragma once

#include <cstdio>

#include "app/form1.h"
#include "log/run_log.h"
#include "ui/window.h"

namespace catpub::app {

enum ExitStatus : int {
  kPublished = 0,           // uploaded, or nothing to upload
  kConfigurationError = 1,  // the window stayed open on an error of the shop's configuration
  kUploadFailed = 2,
  kFatal = 3,               // the run could not go on
};

// Raises Form1's life in `host`. A failure that ends the run is reported on `err` as one line
// starting with "ERRORE", appended as a plain line to the run log (reopened if it was closed) and,
// when `message_box` is set, shown in a message box.
ExitStatus Run(ui::WindowHost& host, Form1& form, log::RunLog& run_log, std::FILE* err,
               bool message_box);

}  // namespace catpub::app
