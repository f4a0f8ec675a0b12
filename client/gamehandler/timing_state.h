// The game controller's clocks and frame pacing (part of GameHandler, which inherits it). The frame
// loop (app/frame_loop.cpp) writes them once per frame; the shot, the HUD and the pages read them.
#pragma once

#include <cstdint>

struct TimingState {
    // --- clock and pacing (the frame loop) ---
    double maxFps = 60.0;
    // Frames per second over the last three-second window; 60 until the first window ends.
    float measuredFps = 60.0f;
    // Average frame time over the last 100 frames; the shot simulation advances by it.
    int64_t averageFrameMicros = 0;
    // maxFps changed: the pacing takes the new period.
    bool fpsChanged = true;
    // now in milliseconds, unless a replay drives it.
    int gameClockMs = 0;
    // The current frame's game clock (seconds since start), stored by the main loop once per frame.
    double now = 0.0;
    // The modifier keys of this frame.
    bool shiftHeld = false;
};
