#include "core/clock.h"

#include <chrono>

ClockReading secondsSinceStart() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    const int64_t nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - origin).count();
    return {nanos, static_cast<double>(nanos) / 1e9};
}
