// Holds the game clock's and the wall clock's sources at values the test sets, for its lifetime.
#pragma once

#include "core/clock.h"

#include <atomic>
#include <chrono>

namespace bztest {

class FakeClock {
public:
    FakeClock() {
        nanos() = 0;
        wall() = std::chrono::system_clock::time_point{};
        previousMonotonic_ = setSecondsSinceStartSource([] { return nanos().load(); });
        previousSystem_ = setSystemClockSource([] { return wall(); });
    }
    ~FakeClock() {
        setSecondsSinceStartSource(previousMonotonic_);
        setSystemClockSource(previousSystem_);
    }

    void setSeconds(double seconds) { nanos() = static_cast<int64_t>(seconds * 1e9); }
    void setWall(std::chrono::system_clock::time_point at) { wall() = at; }

private:
    static std::atomic<int64_t>& nanos() {
        static std::atomic<int64_t> value{0};
        return value;
    }
    static std::chrono::system_clock::time_point& wall() {
        static std::chrono::system_clock::time_point value{};
        return value;
    }

    MonotonicSource previousMonotonic_ = nullptr;
    SystemClockSource previousSystem_ = nullptr;
};

}  // namespace bztest
