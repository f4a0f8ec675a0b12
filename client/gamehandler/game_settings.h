// The user's game settings (display, aiming, sound and broadcast switches) and their storage in
// the preferences file.
#pragma once

#include <string>

// 42 int-sized slots in this order; the defaults are the built-in ones of a fresh GameHandler.
struct GameSettings {
    int cueBallDesign = 1;
    int ghostCueBall = 1;
    int extendedCueBallLine = 1;
    int whiteLines = 0;
    int thickLines = 1;
    int qBallSize = 1;
    int errorMargins = 1;
    int aimingMode = 0;
    int reverseAiming = 0;
    int mouseSensitivity = 0;
    int displayMode = 0;
    int arena = 0;
    int vsync = 1;
    float fps = 30.0f;
    int antiAliasing = 4;
    int lightSources = 0;
    int scalingMode = 0;  // stored under the key "scalingMode2"
    int resolutionLimit = 1920;
    int aaResolutionLimit = 0;  // exchanged with the settings page, never stored
    int aaGraphicsDetails = 0;  // exchanged with the settings page, never stored
    int unkeyedSetting = 0;     // neither stored nor sent; loading sets it to 1
    int displayFps = 0;
    int allSounds = 1;
    int ballSounds = 1;
    int ballVolume = 100;
    int refereeSounds = 1;
    int refereeVolume = 100;
    int crowdSounds = 1;
    int crowdVolume = 100;
    int kredBoxSounds = 1;
    int pmSounds = 1;
    int friendSounds = 1;
    int bigBreakBroadcasts = 1;
    int tournamentBroadcasts = 1;
    int specloginBroadcasts = 1;
    int tableChatUserInOut = 1;
    int showLiveAimingIcons = 1;
    int ballsPotted = 1;
    int ballOn = 1;
    int friendChat = 1;
    int lobbyWidth = 1;
    int qballTipSizeScaled = 0;
};

static_assert(sizeof(GameSettings) == 42 * sizeof(int), "GameSettings holds 42 int-sized slots");

// Fills `settings` from the preferences file when it stores a positive "fps"; otherwise leaves them
// as they are. `fileMissing` is set when the file could not be opened at all (first run), so the
// caller can offer the mouse-or-touchpad choice. Returns true when the settings were loaded.
bool loadGameSettings(const std::string& prefFolder, GameSettings& settings, bool& fileMissing);
// Stores "fps" and the 38 keyed settings, keeping every other entry of the file.
bool saveGameSettings(const std::string& prefFolder, const GameSettings& settings);
