#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace catpub::platform {

std::string DateText(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", time.day, time.month, time.year);
  return text;
}

std::string TimeText(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
  return text;
}

LocalTime SystemClock::Now() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

}  // namespace catpub::platform
