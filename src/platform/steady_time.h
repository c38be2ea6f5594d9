// The monotonic time by which watchdogs and heartbeats measure intervals, and the pauses taken
// between tries. Whoever measures or pauses takes the clock or the sleep as a parameter, so that a
// test can move time on by itself instead of waiting for it.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace catpub::platform {

using SteadyTime = std::chrono::steady_clock::time_point;
// The time now: std::chrono::steady_clock::now, or a test's own clock.
using SteadyNow = std::function<SteadyTime()>;

// Lets `pause` pass: SleepFor, or a test's own that only notes it.
using Sleep = std::function<void(std::chrono::milliseconds pause)>;
// This thread sleeps for `pause`.
inline void SleepFor(std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }

}  // namespace catpub::platform
