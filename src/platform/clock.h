// The system clock and the shop's regional forms: short date dd/mm/yyyy, long time HH:MM:SS (24 h).
#pragma once

#include <string>

namespace catpub::platform {

struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
};

// The system clock in the machine's local time (posix_clock.cc).
class SystemClock : public Clock {
 public:
  LocalTime Now() override;
};

// "07/12/2026"
std::string DateText(const LocalTime& time);
// "15:14:07"
std::string TimeText(const LocalTime& time);

}  // namespace catpub::platform
