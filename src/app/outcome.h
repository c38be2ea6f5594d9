// How a run ended, as one value: Form1 yields it, the run adds what ended it early and reports it
// (app/run.h), and ExitStatusOf alone turns it into the exit status.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "app/exit_status.h"
#include "platform/fatal_error.h"

namespace catpub::app {

// The start-up stopped on the shop's configuration (no company database, no data database named):
// the window stays open until "Uscita" is pressed.
struct ConfigurationError {
  // What Form1 said of it, in the window or the run log, and where: "ERRORE : FILE
  // C:\nodo\orbis.mdb NON ESISTE ".
  std::string message;
};

// codean has no rows: no export was written and nothing went to the server.
struct NothingToPublish {
  std::string database;  // the data database, "C:\ORBIS\DATI.MDB"
};

// The export reached the server.
struct Published {
  uint64_t articles = 0;
  std::string host;         // the publication server
  std::string remote_file;  // "/var/www/vellum/orbis/12/articoli.csv"
};

// The export was written but did not reach the server.
struct UploadFailed {
  FatalError failure;  // "FTP", the failed step, what the server or the transport said
};

// The run could not go on.
struct Fatal {
  FatalError error;
};

using Outcome = std::variant<ConfigurationError, NothingToPublish, Published, UploadFailed, Fatal>;

// kSuccess for Published and NothingToPublish; kConfigurationError, kUploadFailed, kFatal for the
// others.
ExitStatus ExitStatusOf(const Outcome& outcome);

}  // namespace catpub::app
