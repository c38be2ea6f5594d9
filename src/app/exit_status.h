// The program's exit statuses, all of them: what a scheduler, systemd or an admin's shell sees of
// how a start ended. The original program always ended with 0.
#pragma once

namespace catpub::app {

enum ExitStatus : int {
  kSuccess = 0,             // published, or nothing to publish; --help and --version answered
  kConfigurationError = 1,  // the window stayed open on an error of the shop's configuration
  kUploadFailed = 2,
  kFatal = 3,        // the run could not go on
  kUsageError = 64,  // the command line was refused (EX_USAGE of <sysexits.h>)
};

}  // namespace catpub::app
