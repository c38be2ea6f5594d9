#include <windows.h>

#include "platform/clock.h"

namespace catpub::platform {

LocalTime SystemClock::Now() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace catpub::platform
