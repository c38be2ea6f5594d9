// The Event Log entry that each run ends with: its number says how the run ended, its text is the
// line the run already printed or logged. The message table src/resources/run_events.mc documents
// each number for the administrators; the two must agree.
#pragma once

#include <cstdint>
#include <string>

#include "platform/event_log.h"

namespace catpub::app {

enum class RunEvent : uint32_t {
  kPublished = 1,            // information: the stdout line
  kNothingToPublish = 2,     // information: codean has no rows
  kConfigurationError = 10,  // error: what Form1 said of the configuration
  kUploadFailed = 20,        // error: the ERRORE line
  kFatal = 30,               // error: the ERRORE line
  kShopNotTaken = 31,        // error: the ERRORE line of the refused lock
  kStartFailed = 32,         // error: the ERRORE line of main's start-up
};

inline constexpr RunEvent kRunEvents[] = {
    RunEvent::kPublished,
    RunEvent::kNothingToPublish,
    RunEvent::kConfigurationError,
    RunEvent::kUploadFailed,
    RunEvent::kFatal,
    RunEvent::kShopNotTaken,
    RunEvent::kStartFailed,
};

// Records `event` with `line` in `events`: information for a run that ended with status 0, an error
// for any other.
inline void RecordRunEvent(platform::EventLog& events, RunEvent event, const std::string& line) {
  const bool success = event == RunEvent::kPublished || event == RunEvent::kNothingToPublish;
  events.Record(success ? platform::EventType::kInformation : platform::EventType::kError,
                static_cast<uint32_t>(event), line);
}

}  // namespace catpub::app
