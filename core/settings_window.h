// What applying the game settings asks of the window and its scene: a size-changed event for the
// loop, the swap interval, the lighting set and the cue ball's model. The shell installs its SDL and
// renderer implementation at start-up; until then, and in tests, the default does nothing. Full
// screen goes through platform(). Main thread only.
#pragma once

class SettingsWindow {
public:
    virtual ~SettingsWindow() = default;
    // Queues a size-changed window event carrying the window's current size.
    virtual void announceResize() {}
    virtual void setSwapInterval(int interval) {}
    // Rebuilds the lighting programs from the first set or the second, and picks the cue ball's model.
    virtual void applySceneSettings(bool firstLightingSet, int cueBallDesign) {}
};

// The installed one, or the one that does nothing.
SettingsWindow& settingsWindow();
// Installs one (nullptr: the default again); returns the previous one. The caller keeps it alive.
SettingsWindow* setSettingsWindow(SettingsWindow* window);
