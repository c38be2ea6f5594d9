#include "platform/event_log.h"

namespace catpub::platform {

void SystemEventLog::Record(EventType, uint32_t, const std::string&) noexcept {}

}  // namespace catpub::platform
