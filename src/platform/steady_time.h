// The monotonic time by which watchdogs and heartbeats measure intervals. Whoever measures takes
// the clock as a parameter, so that a test can move time on by itself instead of waiting for it.
#pragma once

#include <chrono>
#include <functional>

namespace catpub::platform {

using SteadyTime = std::chrono::steady_clock::time_point;
// The time now: std::chrono::steady_clock::now, or a test's own clock.
using SteadyNow = std::function<SteadyTime()>;

}  // namespace catpub::platform
