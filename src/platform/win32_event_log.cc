#include <windows.h>

#include <exception>
#include <string>

#include "platform/event_log.h"
#include "platform/win32_text.h"

namespace catpub::platform {
namespace {

constexpr wchar_t kEventSource[] = L"catalog-publisher";

}  // namespace

// The source is registered for each entry rather than held: a run records one, and a handle held
// from the start would be one more thing that start-up can fail on. Where the installer did not
// register the source, Windows still records the entry, under that name, without our message table.
void SystemEventLog::Record(EventType type, uint32_t id, const std::string& line) noexcept {
  try {
    const std::wstring text = Utf16(line);
    HANDLE source = ::RegisterEventSourceW(nullptr, kEventSource);
    if (source == nullptr) return;
    const wchar_t* strings[] = {text.c_str()};
    ::ReportEventW(source,
                   type == EventType::kError ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
                   id, nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(source);
  } catch (const std::exception&) {
    // Out of memory for the text: the entry is lost, the run goes on to its end unchanged.
  }
}

}  // namespace catpub::platform
