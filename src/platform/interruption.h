// SIGTERM, SIGINT and SIGHUP (systemd stopping the job, an admin's Ctrl-C, a closed terminal) end a
// run cleanly instead of killing it where it stands; on Windows the console's events do (Ctrl+C,
// Ctrl+Break, the console closed, the user logging off, the system shutting down). The handler only
// notes the signal; the run looks at the note where it waits or loops (the walk of codean, the FTP
// transfer, the wait for another run, the window's wait) and ends through its normal failure path,
// which ends the reader processes, removes the temporary export and reports the interruption. The
// handlers are the system's (posix_interruption.cc, win32_interruption.cc).
#pragma once

#include "platform/fatal_error.h"

namespace catpub::platform {

// Installs the handlers (with SA_RESTART, so that no system call of the run fails with EINTR; on
// Windows a console control handler). Once per process, before the run starts.
void CatchInterruptions();

// The signal (on Windows, the console event) that asked the run to end, 0 while none has.
// Async-signal-safe to read.
int InterruptingSignal();

// The failure of a run that a signal asked to end: "esecuzione interrotta dal segnale SIGTERM",
// on Windows "esecuzione interrotta da Ctrl+C".
FatalError Interruption();

// Throws Interruption() once a signal has asked the run to end.
void ThrowIfInterrupted();

}  // namespace catpub::platform
