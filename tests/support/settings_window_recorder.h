// A settings window that records what applying the game settings asks of the window and the scene.
// Installed for its lifetime.
#pragma once

#include "core/settings_window.h"

#include <utility>
#include <vector>

namespace bztest {

class RecordingSettingsWindow : public SettingsWindow {
public:
    RecordingSettingsWindow() { previous_ = setSettingsWindow(this); }
    ~RecordingSettingsWindow() override { setSettingsWindow(previous_); }

    void announceResize() override { ++resizes; }
    void setSwapInterval(int interval) override { intervals.push_back(interval); }
    void applySceneSettings(bool firstLightingSet, int cueBallDesign) override {
        scenes.emplace_back(firstLightingSet, cueBallDesign);
    }

    int resizes = 0;
    std::vector<int> intervals;
    std::vector<std::pair<bool, int>> scenes;  // lighting set, cue ball design

private:
    SettingsWindow* previous_ = nullptr;
};

}  // namespace bztest
