// Frame pacing: when the swap interval does not pace the frames, the loop sleeps and then spins
// until one frame period has passed since the previous frame's reference point. Also keeps a
// 100-frame history of frame times. A target of 240 frames per second means no limit.
#pragma once

#include <array>
#include <cstdint>

// The clock the pacing reads and sleeps on; tests give it a fake.
class PacingClock {
public:
    virtual ~PacingClock() = default;
    virtual int64_t nowNanos() = 0;
    // A relative sleep.
    virtual void sleepNanos(int64_t nanos) = 0;
};

// CLOCK_MONOTONIC for both reading and sleeping: the raw clock cannot be slept on.
class MonotonicPacingClock : public PacingClock {
public:
    int64_t nowNanos() override;
    void sleepNanos(int64_t nanos) override;
};

inline constexpr double NO_LIMIT_FPS = 240.0;
// A longer frame (a debugger stop, a suspended machine) is reported and averaged as this long.
inline constexpr int64_t MAX_FRAME_MICROS = 10'000'000;

// The target the pacing uses: 60 for a value below 1 or not a number, else the value.
double effectiveTargetFps(double targetFps);

class FramePacer {
public:
    explicit FramePacer(PacingClock& clock) : clock_(clock) {}

    // Called with true just before the swap: waits until the frame period is over (unless vsync
    // paces the frames, the target is 240 or the frame is already late) and returns the frame time
    // in microseconds to store: the 100-frame average with vsync, the paced period after a wait,
    // otherwise the frame's whole elapsed time. fpsChanged is cleared once the period follows the
    // new target. Called with false (just after the swap) it changes nothing and returns -1.
    // A frame that will not be swapped (swaps false) is paced by the wait alone, to the time the
    // swap would have taken with vsync, else to the target, and to one refresh with no limit.
    int64_t limitFrameRate(bool wait, double targetFps, bool& fpsChanged, bool vsync, bool swaps = true);

    // The display's refresh rate (0 or below: unknown, taken as 60 Hz).
    void setDisplayRefreshHz(int hz);
    // False once vsync was asked but the frames came much faster than the display refreshes (a
    // software renderer, a driver that ignores the interval): the pacer then waits as without
    // vsync. Measured again whenever vsync is switched back on.
    bool swapPaces() const { return !swapUnpaced_; }

    int64_t periodNanos() const { return periodNanos_; }
    int64_t historySum() const { return sum_; }

private:
    static constexpr int kHistory = 100;

    PacingClock& clock_;
    bool started_ = false;
    int64_t periodNanos_ = 0;
    std::array<int64_t, kHistory> history_{};
    int index_ = 0;
    int64_t sum_ = 0;
    int64_t reference_ = 0;  // nanoseconds on the pacing clock
    // The probe of whether the swap paces: frames and their time since the last verdict.
    int64_t displayPeriodNanos_ = 1'000'000'000 / 60;
    int probeFrames_ = 0;
    int64_t probeNanos_ = 0;
    bool swapUnpaced_ = false;
    bool lastSwapped_ = true;
};

// How long the pacer holds a frame from the previous one's reference point: -1 when the swap paces
// it, 0 for no wait (no limit), else the period. swapPaces: vsync is on and the swap was not found
// unpaced. A frame that is not swapped is held too, so an unchanged picture never spins a core.
int64_t pacedPeriodNanos(bool swaps, bool swapPaces, double target, int64_t targetPeriodNanos,
                         int64_t displayPeriodNanos);

// Frames per verdict of the probe, and the share of the display's period below which the swap is
// taken not to pace: the average of that many frames cannot come out 15 % short under a real vsync.
inline constexpr int SWAP_PROBE_FRAMES = 120;
inline constexpr double SWAP_PROBE_SHARE = 0.85;
