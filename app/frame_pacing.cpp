#include "app/frame_pacing.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

int64_t MonotonicPacingClock::nowNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void MonotonicPacingClock::sleepNanos(int64_t nanos) {
    if (nanos <= 0) return;
    timespec wake{};
    clock_gettime(CLOCK_MONOTONIC, &wake);
    const int64_t until = static_cast<int64_t>(wake.tv_sec) * 1'000'000'000 + wake.tv_nsec + nanos;
    wake.tv_sec = static_cast<time_t>(until / 1'000'000'000);
    wake.tv_nsec = static_cast<long>(until % 1'000'000'000);
    // An absolute wake-up time, so a signal that interrupts the sleep does not lengthen it.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
}

double effectiveTargetFps(double targetFps) {
    return std::isnan(targetFps) || targetFps < 1.0 ? 60.0 : targetFps;
}

void FramePacer::setDisplayRefreshHz(int hz) { displayPeriodNanos_ = 1'000'000'000 / (hz > 0 ? hz : 60); }

int64_t FramePacer::limitFrameRate(bool wait, double targetFps, bool& fpsChanged, bool vsync, bool swaps) {
    if (!wait) return -1;
    const double target = effectiveTargetFps(targetFps);
    if (!started_) {
        periodNanos_ = static_cast<int64_t>(1e9 / target);
        const int64_t slot = static_cast<int64_t>(1e6 / target);
        history_.fill(slot);
        sum_ = slot * kHistory;
        index_ = 0;
        reference_ = clock_.nowNanos();
        started_ = true;
    }
    if (fpsChanged) {
        fpsChanged = false;
        periodNanos_ = static_cast<int64_t>(1e9 / target);
    }

    int64_t now = clock_.nowNanos();
    const int64_t elapsed = now - reference_;
    const int64_t frameUs = std::clamp<int64_t>((elapsed + 500) / 1000, 0, MAX_FRAME_MICROS);
    sum_ += frameUs - history_[index_];
    history_[index_] = frameUs;
    index_ = (index_ + 1) % kHistory;

    // A frame after one that was not swapped was not paced by a swap: it tells nothing of vsync.
    const bool probe = swaps && lastSwapped_;
    lastSwapped_ = swaps;
    if (swaps && !vsync) {
        swapUnpaced_ = false;
        probeFrames_ = 0;
        probeNanos_ = 0;
    } else if (vsync && !swapUnpaced_ && probe) {
        probeFrames_ += 1;
        probeNanos_ += elapsed;
        if (probeFrames_ == SWAP_PROBE_FRAMES) {
            swapUnpaced_ = probeNanos_ / SWAP_PROBE_FRAMES < static_cast<int64_t>(displayPeriodNanos_ * SWAP_PROBE_SHARE);
            probeFrames_ = 0;
            probeNanos_ = 0;
        }
    }
    const int64_t period = pacedPeriodNanos(swaps, vsync && !swapUnpaced_, target, periodNanos_, displayPeriodNanos_);
    if (period < 0) {
        reference_ = now;
        return (sum_ + 50) / 100;
    }
    if (period == 0 || elapsed > period) {
        reference_ = now;
        return std::clamp<int64_t>(elapsed / 1000, 0, MAX_FRAME_MICROS);
    }

    const int64_t remaining = period - elapsed;
    if (remaining > 1'500'000) clock_.sleepNanos(remaining - 500'000);
    while (now - reference_ < period) now = clock_.nowNanos();
    // One period on, not the moment the spin ended: paced frames keep the cadence without drift.
    reference_ += period;
    return period / 1000;
}

int64_t pacedPeriodNanos(bool swaps, bool swapPaces, double target, int64_t targetPeriodNanos,
                         int64_t displayPeriodNanos) {
    if (swaps) {
        if (swapPaces) return -1;
        return target == NO_LIMIT_FPS ? 0 : targetPeriodNanos;
    }
    // Mends the idle client that spun a core at thousands of frames a second: a frame that is not
    // swapped has no swap to wait on, so it lasts what a swapped one would, and with no limit one
    // refresh, as an unchanged picture needs no more.
    if (swapPaces || target == NO_LIMIT_FPS) return displayPeriodNanos;
    return targetPeriodNanos;
}
