// The Event Log as catalog-publisher.exe writes it, under Wine, which keeps no log to read back:
// event_log_under_wine_test PROGRAM.exe (a Windows path)
//
// First the message table of PROGRAM: each RunEvent's message, formatted as Event Viewer formats it
// with the entry's one string, must be that string alone; a table missing from the executable, an
// event number it lacks or a message with more text than "%1" fails here. Then two entries through
// the real SystemEventLog, one of each type; event_log_under_wine_test.sh reads what Wine's
// ReportEventW says of them on its debug channels.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/run_event.h"
#include "platform/event_log.h"
#include "platform/win32_text.h"

namespace {

using catpub::app::RunEvent;

// What Event Viewer shows for entry `event` of `program` whose string is `line`; "" when
// FormatMessage fails.
std::wstring Shown(HMODULE program, RunEvent event, const wchar_t* line) {
  const DWORD_PTR strings[] = {reinterpret_cast<DWORD_PTR>(line)};
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      program, static_cast<DWORD>(event), 0, reinterpret_cast<wchar_t*>(&text), 0,
      reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(strings)));
  if (length == 0) return L"";
  std::wstring shown(text, length);
  ::LocalFree(text);
  return shown;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: event_log_under_wine_test PROGRAM.exe\n");
    return 2;
  }
  HMODULE program = ::LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) {
    std::fprintf(stderr, "FAILED: %ls cannot be loaded (%lu)\n", argv[1], ::GetLastError());
    return 1;
  }
  int failures = 0;
  const wchar_t line[] = L"ERRORE : la tabella societ\u00e0 non esiste in C:\\nodo\\orbis.mdb";
  for (RunEvent event : catpub::app::kRunEvents) {
    const std::wstring shown = Shown(program, event, line);
    const bool ok = shown == line;
    std::printf("%s: message %u: [%s]\n", ok ? "ok" : "FAILED", static_cast<unsigned>(event),
                catpub::platform::Utf8(shown).c_str());
    if (!ok) ++failures;
  }
  ::FreeLibrary(program);
  std::fflush(stdout);

  catpub::platform::SystemEventLog events;
  catpub::app::RecordRunEvent(events, RunEvent::kPublished,
                              "Pubblicati 2 articoli di C:\\orbis\\articoli.csv sul server h in "
                              "/var/www/vellum/orbis/12/articoli.csv, in 1,4 s");
  catpub::app::RecordRunEvent(events, RunEvent::kFatal,
                              "ERRORE : la tabella società non esiste in C:\\nodo\\orbis.mdb");
  return failures == 0 ? 0 : 1;
}
