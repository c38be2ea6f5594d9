// An event log that keeps the entries recorded in it, for the tests to read.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/event_log.h"

namespace catpub::testing {

class RecordingEventLog : public platform::EventLog {
 public:
  struct Entry {
    platform::EventType type;
    uint32_t id;
    std::string line;
    bool operator==(const Entry&) const = default;
    friend void PrintTo(const Entry& entry, std::ostream* out) {
      *out << (entry.type == platform::EventType::kError ? "error " : "information ") << entry.id
           << ": " << entry.line;
    }
  };

  void Record(platform::EventType type, uint32_t id, const std::string& line) noexcept override {
    entries.push_back({type, id, line});
  }

  std::vector<Entry> entries;
};

}  // namespace catpub::testing
