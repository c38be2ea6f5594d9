#include <windows.h>

#include <atomic>

#include "platform/fatal_error.h"
#include "platform/interruption.h"

namespace catpub::platform {
namespace {

// The console event that asked the run to end, plus one (CTRL_C_EVENT is 0); 0 while none has.
std::atomic<int> interrupting_event{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Runs on a thread of its own that the system starts for each event. Ctrl+C and Ctrl+Break are
// only noted: the run ends by itself. For the closing of the console, the logoff and the shutdown
// Windows ends the process as soon as the handler returns, so the handler does not return: the run
// ends as for Ctrl+C, and its exit ends this thread with the process (Windows waits for it up to
// its own time limit, 5 s and more).
BOOL WINAPI NoteEvent(DWORD event) {
  int none = 0;
  // The first event is the one reported.
  interrupting_event.compare_exchange_strong(none, static_cast<int>(event) + 1);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    for (;;) ::Sleep(INFINITE);
  }
  return TRUE;
}

}  // namespace

void CatchInterruptions() { ::SetConsoleCtrlHandler(NoteEvent, TRUE); }

int InterruptingSignal() { return interrupting_event.load(std::memory_order_relaxed); }

FatalError Interruption() {
  switch (InterruptingSignal() - 1) {
    case CTRL_C_EVENT:
      return FatalError("esecuzione interrotta da Ctrl+C");
    case CTRL_BREAK_EVENT:
      return FatalError("esecuzione interrotta da Ctrl+Interr");
    case CTRL_CLOSE_EVENT:
      return FatalError("esecuzione interrotta dalla chiusura della console");
    case CTRL_LOGOFF_EVENT:
      return FatalError("esecuzione interrotta dalla disconnessione dell'utente");
    default:
      return FatalError("esecuzione interrotta dall'arresto del sistema");
  }
}

void ThrowIfInterrupted() {
  if (InterruptingSignal() != 0) throw Interruption();
}

}  // namespace catpub::platform
