#include "platform/clock.h"

#include <cstdio>

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

}  // namespace catpub::platform
