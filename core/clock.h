// The clocks of the client. secondsSinceStart is the game clock's source (the main loop copies it
// into GameHandler::now once per frame); systemNow is the wall clock of match and frame start
// times. Tests replace either source; nullptr restores the real one. Safe on any thread.
#pragma once

#include <chrono>
#include <cstdint>

struct ClockReading {
    int64_t nanos;
    double seconds;
};

// Time since the first call, on a monotonic clock, so a stepped wall clock never moves it.
ClockReading secondsSinceStart();

// The system (wall) clock.
std::chrono::system_clock::time_point systemNow();

// Nanoseconds since start, as the replacement reports them.
using MonotonicSource = int64_t (*)();
using SystemClockSource = std::chrono::system_clock::time_point (*)();
// Both return the previous source (nullptr for the real clock).
MonotonicSource setSecondsSinceStartSource(MonotonicSource source);
SystemClockSource setSystemClockSource(SystemClockSource source);
