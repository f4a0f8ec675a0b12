// The settings, match-settings and account panels of the GameSettings window, and the people and
// bio panels' closers: what each sends to its page. The GameHandler's operations are defined here.
#pragma once

#include "client/gamehandler/game_handler.h"

#include <string>

// A panel is drawn this long after it was opened, once its page has the new content.
inline constexpr double kPanelOpenDelay = 0.6;

// The Lobby page's mask over the lobby while a dialog is open.
inline constexpr char kShowLobbyMask[] = "$('.lmask').show();";
inline constexpr char kHideLobbyMask[] = "$('.lmask').hide();";

inline constexpr MatchSettings kResetMatchSettings{1, 1, 1, 12, 0, 0};

// Opens a panel: visible, drawn from now + kPanelOpenDelay on.
void openPanel(PanelSlot& slot, double now);

// The match settings as the table holds them now (type, arena, and the live status's values).
MatchSettings tableMatchSettings(const GameHandler& gh);
std::string openMatchSettingsStatement(bool isHost, const MatchSettings& settings);
std::string openMyAccountStatement(const AccountRecord& account);
