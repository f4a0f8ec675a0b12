#include "core/settings_window.h"

namespace {

SettingsWindow* installed = nullptr;

}  // namespace

SettingsWindow& settingsWindow() {
    static SettingsWindow none;
    return installed != nullptr ? *installed : none;
}

SettingsWindow* setSettingsWindow(SettingsWindow* window) {
    SettingsWindow* previous = installed;
    installed = window;
    return previous;
}
