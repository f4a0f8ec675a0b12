// What applying the game settings asks of the window: a size-changed event for the loop and the
// swap interval. The default acts on the current GL window through SDL; tests install a recorder.
// Full screen goes through platform(). Main thread only.
#pragma once

class SettingsWindow {
public:
    virtual ~SettingsWindow() = default;
    // Queues a size-changed window event carrying the window's current size.
    virtual void announceResize();
    virtual void setSwapInterval(int interval);
};

SettingsWindow& settingsWindow();
// The last swap interval the SDL window was asked for could be set (true until one could not): a
// vsync that was never set paces no frame.
bool swapIntervalTookEffect();
// Installs one (nullptr: the SDL one again); returns the previous one. The caller keeps it alive.
SettingsWindow* setSettingsWindow(SettingsWindow* window);
