#include "core/clock.h"

#include <atomic>

namespace {

std::atomic<MonotonicSource> monotonicSource{nullptr};
std::atomic<SystemClockSource> systemSource{nullptr};

}  // namespace

ClockReading secondsSinceStart() {
    int64_t nanos = 0;
    if (MonotonicSource source = monotonicSource.load()) {
        nanos = source();
    } else {
        using Clock = std::chrono::steady_clock;
        static const Clock::time_point origin = Clock::now();
        nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - origin).count();
    }
    return {nanos, static_cast<double>(nanos) / 1e9};
}

std::chrono::system_clock::time_point systemNow() {
    if (SystemClockSource source = systemSource.load()) return source();
    return std::chrono::system_clock::now();
}

MonotonicSource setSecondsSinceStartSource(MonotonicSource source) { return monotonicSource.exchange(source); }

SystemClockSource setSystemClockSource(SystemClockSource source) { return systemSource.exchange(source); }
