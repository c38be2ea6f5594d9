// The system's log of events, where an administrator looks for how an unattended job ended: one
// entry, information or error, of one line of text.
#pragma once

#include <cstdint>
#include <string>

namespace catpub::platform {

enum class EventType { kInformation, kError };

class EventLog {
 public:
  virtual ~EventLog() = default;
  // Records one entry of `type` with the event number `id` (one of the message table's) and
  // `line`. Never fails: an entry that cannot be written is lost, and how the run ends does not
  // change (its outcome is said on standard output or error and in the run log all the same).
  virtual void Record(EventType type, uint32_t id, const std::string& line) noexcept = 0;
};

// On Windows, the Application log under the source "catalog-publisher", whose message table in
// catalog-publisher.exe shows `line` as the whole text (src/resources/run_events.mc); elsewhere
// nothing: a service's journal already keeps its standard output and error.
class SystemEventLog final : public EventLog {
 public:
  void Record(EventType type, uint32_t id, const std::string& line) noexcept override;
};

}  // namespace catpub::platform
