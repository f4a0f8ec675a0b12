// The frame loop: once per frame on the main thread, draw (or keep the picture the window shows when
// nothing in it would change), update, hand out the events, pump the browser engine, drain the
// server messages, act on the pages' flags, report the rate, drive the page start-up and the
// loading, detect an idle user, pace and swap. It ends when appRunning clears.
#pragma once

#include "app/frame_pacing.h"
#include "app/frame_rules.h"
#include "app/shell_neighbours.h"

#include <SDL.h>

#include <cstdint>

// The Login page script that calls the page's loadingDone as soon as the page defines it.
extern const char* const LOADING_DONE_SCRIPT;
// The first page is loaded this long after start-up.
inline constexpr uint32_t PAGE_START_DELAY_MS = 2222;
// Models and sounds load from this long after the login state was entered.
inline constexpr uint32_t LOADING_DELAY_MS = 3000;

class FrameLoop {
public:
    FrameLoop(ShellNeighbours& neighbours, PacingClock& pacingClock);

    // The end of start-up: the first page is due PAGE_START_DELAY_MS after nowTicks; the rate
    // window, the last input and the login time start now.
    void prepare(uint32_t nowTicks);
    // One frame. False when the loop has ended: the run flag was cleared during this frame's
    // events or engine pump, and the frame stopped there.
    bool runFrame();

    // Benchmarks measure the loop alone: no pacing and no swap.
    bool pacing = true;
    bool swap = true;
    uint64_t framesRun() const { return frames_; }
    // The passes that drew a picture; the others showed the last one again.
    uint64_t framesDrawn() const { return framesDrawn_; }

private:
    void handleEvent(const SDL_Event& event);
    void handleEventBody(const SDL_Event& event);
    // withoutWarning: a stop from outside, which nobody is there to confirm.
    void quit(bool withoutWarning = false);
    void resize(int width, int height);
    void storePointer(int x, int y);
    void routeToPage(const SDL_Event& event, bool mouseEvent);
    void reportFrameRate(uint32_t frameStart);
    void pageStartupStep(uint32_t frameStart);
    void loadingStep(uint32_t frameStart);

    ShellNeighbours& neighbours_;
    FramePacer pacer_;
    FpsCounter fps_;
    uint32_t pageStartTime_ = 0;
    uint32_t lastInputTicks_ = 0;
    bool inputThisFrame_ = false;
    bool previousReplayMode_ = false;
    bool previousToStartMatch_ = false;
    bool swapUnpacedLogged_ = false;
    uint64_t frames_ = 0;
    uint64_t framesDrawn_ = 0;
    bool drawWanted_ = true;  // the next frame is drawn whatever it shows
};
