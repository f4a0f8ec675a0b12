// The page keys of the game settings and what saving them applies; the GameHandler's operations
// openGameSettings, closeGameSettings, resetGameSettings and saveGameSettings live beside this.
#pragma once

#include "client/gamehandler/game_settings.h"

#include <string>

// The 41 keys the settings page exchanges, in slot order; fps (slot 13) is the float and has no
// int field. The unkeyed slot is not among them.
struct GameSettingsKey {
    const char* key;
    int GameSettings::*field;  // nullptr: fps
};
extern const GameSettingsKey kGameSettingsKeys[41];

// The values a reset puts back.
inline constexpr GameSettings kResetGameSettings{};

// Every value brought into its range before it is stored: volumes 0..100, the frame-rate target
// finite and 0..1000 (below 1 means the default), anti-aliasing 0..16 samples, limits not negative.
GameSettings clampedGameSettings(GameSettings settings);

// "inbzOpenGameSettings({key: value,...});" for the settings page.
std::string openGameSettingsStatement(const GameSettings& settings);

// The spin widget's size for a qBallSize value.
int spinWidgetSizeFor(int qBallSize);
