// The game settings applied to the SDL window with the GL context and to the scene.
#pragma once

#include "core/settings_window.h"

class SdlSettingsWindow : public SettingsWindow {
public:
    void announceResize() override;
    void setSwapInterval(int interval) override;
    void applySceneSettings(bool firstLightingSet, int cueBallDesign) override;
};

// The last swap interval the SDL window was asked for could be set (true until one could not): a
// vsync that was never set paces no frame.
bool swapIntervalTookEffect();
