#pragma once

#include <cstdint>

struct ClockReading {
    int64_t nanos;
    double seconds;
};

// Time since the first call, on a monotonic clock, so a stepped wall clock never moves it.
ClockReading secondsSinceStart();
