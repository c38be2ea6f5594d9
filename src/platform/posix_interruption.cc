#include <signal.h>

#include <atomic>

#include "platform/fatal_error.h"
#include "platform/interruption.h"

namespace catpub::platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> interrupting_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void NoteSignal(int signal) {
  int none = 0;
  // The first signal is the one reported.
  interrupting_signal.compare_exchange_strong(none, signal);
}

}  // namespace

void CatchInterruptions() {
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

int InterruptingSignal() { return interrupting_signal.load(std::memory_order_relaxed); }

FatalError Interruption() {
  const int signal = InterruptingSignal();
  const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
  return FatalError(std::string("esecuzione interrotta dal segnale ") + name);
}

void ThrowIfInterrupted() {
  if (InterruptingSignal() != 0) throw Interruption();
}

}  // namespace catpub::platform
