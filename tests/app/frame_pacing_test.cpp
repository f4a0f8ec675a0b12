// Frame pacing against a clock that only moves when it is read or slept on.
#include "app/frame_pacing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <ctime>
#include <vector>

namespace {

class FakeClock : public PacingClock {
public:
    int64_t nowNanos() override {
        now += readStep;
        return now;
    }
    void sleepNanos(int64_t nanos) override {
        sleeps.push_back(nanos);
        now += nanos;
    }
    int64_t now = 1'000'000'000;
    int64_t readStep = 1000;  // each reading costs a microsecond
    std::vector<int64_t> sleeps;
};

class PacingTest : public ::testing::Test {
protected:
    // The first call sets the reference; the frame then takes frameNanos.
    int64_t frame(int64_t frameNanos, double target = 60.0, bool vsync = false) {
        clock.now += frameNanos;
        return pacer.limitFrameRate(true, target, changed, vsync);
    }
    FakeClock clock;
    FramePacer pacer{clock};
    bool changed = true;
};

TEST_F(PacingTest, SleepsAllButHalfAMillisecondThenSpins) {
    frame(0);
    EXPECT_EQ(pacer.periodNanos(), 16'666'666);
    const int64_t reference = clock.now;
    clock.sleeps.clear();
    EXPECT_EQ(frame(10'000'000), 16'666);
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_NEAR(clock.sleeps[0], 6'166'666, 2000);
    // The swap comes at the period's end, within the spin's step.
    EXPECT_GE(clock.now - reference, 16'666'666);
    EXPECT_LT(clock.now - reference, 16'666'666 + 2000);
}

TEST_F(PacingTest, NoSleepWhenLittleIsLeft) {
    frame(0);
    clock.sleeps.clear();
    EXPECT_EQ(frame(16'000'000), 16'666);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PacingTest, ReferenceAdvancesByWholePeriods) {
    frame(0);
    const int64_t start = clock.now;
    for (int i = 0; i < 50; ++i) frame(5'000'000);
    // Fifty paced frames end fifty periods on, whatever each spin overshot.
    const int64_t end = clock.now;
    EXPECT_GE(end - start, 50 * 16'666'666LL);
    EXPECT_LT(end - start, 50 * 16'666'666LL + 5000);
}

TEST_F(PacingTest, LateFrameIsNotPacedAndReportsItsWholeLength) {
    frame(0);
    clock.sleeps.clear();
    // A frame of 2.5 s: its whole time, not the part above the last full second.
    const int64_t micros = frame(2'500'000'000LL);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_NEAR(micros, 2'500'000, 5);
    // The next frame counts from the end of the late one.
    EXPECT_EQ(frame(10'000'000), 16'666);
    EXPECT_EQ(clock.sleeps.size(), 1u);
    // An hour-long stop is clamped.
    EXPECT_EQ(frame(3600'000'000'000LL), MAX_FRAME_MICROS);
}

TEST_F(PacingTest, TargetOf240NeverWaits) {
    frame(0, 240.0);
    clock.sleeps.clear();
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(frame(1'000'000, 240.0), 1000, 5);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PacingTest, VsyncNeverWaitsAndAveragesTheLastHundred) {
    clock.readStep = 0;
    frame(0, 60.0, true);  // the history starts at 16,666 us per slot, then this 0
    EXPECT_EQ(frame(10'000'000, 60.0, true), (0 + 10'000 + 98 * 16'666 + 50) / 100);
    int64_t average = 0;
    for (int i = 0; i < 99; ++i) average = frame(10'000'000, 60.0, true);
    EXPECT_EQ(average, 10'000);
    EXPECT_EQ(frame(20'000'000, 60.0, true), 10'100);
    EXPECT_TRUE(clock.sleeps.empty());
}

// Under software GL, or when the driver ignores the interval, vsync "on" paces nothing: once the
// frames come much faster than the display refreshes, the pacer waits as without vsync, until
// vsync is switched off and on again.
TEST_F(PacingTest, SwapThatDoesNotPaceIsPacedAsWithoutVsync) {
    pacer.setDisplayRefreshHz(60);
    frame(0, 60.0, false);
    clock.sleeps.clear();
    for (int i = 0; i < SWAP_PROBE_FRAMES - 1; ++i) frame(5'000'000, 60.0, true);
    EXPECT_TRUE(pacer.swapPaces()) << "no verdict before a whole probe";
    EXPECT_TRUE(clock.sleeps.empty());
    // The verdict's own frame is already paced, and every one after it.
    EXPECT_EQ(frame(5'000'000, 60.0, true), 16'666);
    EXPECT_FALSE(pacer.swapPaces());
    EXPECT_EQ(frame(5'000'000, 60.0, true), 16'666);
    EXPECT_EQ(clock.sleeps.size(), 2u);
    frame(5'000'000, 60.0, false);
    EXPECT_TRUE(pacer.swapPaces()) << "vsync switched off: measured again when it is back";
}

TEST_F(PacingTest, SwapThatPacesIsTrusted) {
    clock.readStep = 0;
    for (const int hz : {60, 0, 144}) {  // 0: unknown, taken as 60
        FramePacer paced(clock);
        paced.setDisplayRefreshHz(hz);
        bool fpsChanged = true;
        const int64_t period = 1'000'000'000 / (hz > 0 ? hz : 60);
        for (int i = 0; i < 3 * SWAP_PROBE_FRAMES; ++i) {
            // The swap's wait shows as a frame of about one display period, with some jitter.
            clock.now += period + (i % 2 == 0 ? -1'000'000 : 1'000'000);
            paced.limitFrameRate(true, 60.0, fpsChanged, true);
        }
        EXPECT_TRUE(paced.swapPaces()) << hz << " Hz";
    }
    EXPECT_TRUE(clock.sleeps.empty());
}

// The time a frame lasts at each target and swap setting, swapped or kept (not drawn, not swapped):
// a kept frame waits as long as a swapped one, and at no limit one refresh, so an unchanged picture
// never spins a core.
TEST(PacingDecision, EveryFrameLastsItsFrameTimeSwappedOrKept) {
    enum class Swap { Off, Paces, Unpaced };
    constexpr int64_t kRefresh = 1'000'000'000 / 60, k30 = 33'333'333, k60 = 16'666'666, kWork = 1'000'000;
    struct Case {
        double target;
        Swap swap;
        bool swapped;
        int64_t frameNanos;  // one frame, from one period's end to the next
    };
    const Case cases[] = {
        {30, Swap::Off, true, k30},          {30, Swap::Off, false, k30},
        {60, Swap::Off, true, k60},          {60, Swap::Off, false, k60},
        {240, Swap::Off, true, kWork},       {240, Swap::Off, false, kRefresh},
        {30, Swap::Paces, true, kRefresh},   {30, Swap::Paces, false, kRefresh},
        {240, Swap::Paces, true, kRefresh},  {240, Swap::Paces, false, kRefresh},
        {30, Swap::Unpaced, true, k30},      {30, Swap::Unpaced, false, k30},
        {240, Swap::Unpaced, true, kWork},   {240, Swap::Unpaced, false, kRefresh},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(int(c.target)) + " fps, swap " +
                                 (c.swap == Swap::Off ? "off" : c.swap == Swap::Paces ? "pacing" : "not pacing") +
                                 (c.swapped ? ", swapped" : ", kept");
        FakeClock clock;
        FramePacer pacer(clock);
        pacer.setDisplayRefreshHz(60);
        bool changed = true;
        const bool vsync = c.swap != Swap::Off;
        // One frame: its work, the pacer, then the swap, which under a pacing vsync ends at the next
        // refresh.
        auto frame = [&](bool swapped) {
            clock.now += kWork;
            pacer.limitFrameRate(true, c.target, changed, vsync, swapped);
            if (swapped && c.swap == Swap::Paces) clock.now += kRefresh - clock.now % kRefresh;
        };
        // The probe's verdict first: swapped frames that come as the swap lets them.
        for (int i = 0; i < SWAP_PROBE_FRAMES + 1; ++i) frame(true);
        ASSERT_EQ(pacer.swapPaces(), c.swap != Swap::Unpaced) << what;
        frame(c.swapped);
        const int64_t start = clock.now;
        for (int i = 0; i < 30; ++i) frame(c.swapped);
        EXPECT_NEAR(double(clock.now - start) / 30, double(c.frameNanos), 20'000.0) << what;
    }
}

TEST_F(PacingTest, UnusableTargetsMeanSixty) {
    for (double target : {0.0, 0.5, -30.0, std::nan("")}) EXPECT_EQ(effectiveTargetFps(target), 60.0);
    EXPECT_EQ(effectiveTargetFps(1.0), 1.0);
    frame(0, std::nan(""));
    EXPECT_EQ(pacer.periodNanos(), 16'666'666);
}

TEST_F(PacingTest, ChangedTargetTakesEffectOnce) {
    frame(0);
    changed = true;
    frame(1'000'000, 30.0);
    EXPECT_FALSE(changed);
    EXPECT_EQ(pacer.periodNanos(), 33'333'333);
    frame(1'000'000, 120.0);  // not announced: the period stays
    EXPECT_EQ(pacer.periodNanos(), 33'333'333);
}

TEST_F(PacingTest, CallAfterTheSwapChangesNothing) {
    frame(0);
    const int64_t sum = pacer.historySum();
    const int64_t now = clock.now;
    EXPECT_EQ(pacer.limitFrameRate(false, 60.0, changed, false), -1);
    EXPECT_EQ(pacer.historySum(), sum);
    EXPECT_EQ(clock.now, now);
}

}  // namespace

namespace {

int64_t threadCpuNanos() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The real clock really sleeps: the wait hands the processor back instead of spinning through it.
TEST(MonotonicPacingClock, SleepsWithoutSpinning) {
    MonotonicPacingClock clock;
    const int64_t cpuBefore = threadCpuNanos();
    const int64_t before = clock.nowNanos();
    clock.sleepNanos(30'000'000);
    EXPECT_GE(clock.nowNanos() - before, 30'000'000);
    EXPECT_LT(threadCpuNanos() - cpuBefore, 10'000'000);
}

}  // namespace
