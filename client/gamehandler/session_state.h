// The game controller's session: folders, the login and the own user, the lobby, the account and
// the server's per-user information (part of GameHandler, which inherits it). Written by
// game_handler.cpp (folders), session.cpp (startSession) and the INFO dispatch (dispatch/info_*.cpp,
// dispatch/table_list.cpp); the player registry is players.cpp's.
#pragma once

#include "client/gamehandler/requests.h"
#include "physics/player.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SessionState {
    // --- folders ---
    // The executable's folder and the user's preference folder, each ending with "/"; set by
    // initPaths. The preferences file and the log live in prefPath; empty until then.
    std::string basePath;
    std::string prefPath;

    // --- own user ---
    // The own presence bits told to the server; 8 = away.
    int userFlags = 0;
    // The own user type from the user list; 0 after every login. Bit 0x40: live aim not shared.
    uint16_t ownUserType = 0;

    // --- login state ---
    // The user plays in the beta lobby, or against himself elsewhere (checkBetaLobby).
    bool betaLobbyPlayer = false;
    // Per-login state, reset by startSession.
    bool ownUserNameConfirmed = false;
    bool showLastLobbyList = false;
    bool tutorialWarningPending = true;
    // Set just before the own bio data is requested; the BIO_DATA answer then fills the own record.
    bool ownBioDataPending = false;
    // secondsSinceStart seconds when the last login completed.
    double loginTime = 0.0;

    // --- player registry (players.cpp) ---
    // Every user the server named, in creation order; never pruned, so pointers stay valid.
    std::vector<std::unique_ptr<Player>> players;

    // --- strings ---
    // One character per Arezor, '1' active; the server replaces the whole string.
    std::string arezors = "0000000";
    std::string emojiStatus = "11111111111111100000000";
    // valueA of the last arezor message (logged only).
    int arezorsValue = 0;

    // The chat's join sound (toggled by a key).
    bool notificationSounds = true;

    // --- the Kred Box: its amount, and the live "Collect Kred" link of the table chat (empty: none) ---
    int kredBoxAmount = 0;
    int kredBoxOpenCount = 0;
    std::string kredBoxCollectId;
    int myUserId = 0;

    // --- lobby road: table and user lists, server and account information (dispatch/table_list.cpp,
    // dispatch/info_account.cpp) ---
    // The own table's viewer list begins with the logged-in user.
    bool ownUserFirstViewer = false;
    // The lobby the client is in, as the server names it; the user list shows this lobby's users.
    std::string lobbyName;
    bool isTourneyLobby = false;
    int premiumPhase = 0;
    int serverUserFlags = 0;
    // The own account as the server keeps it: country and about-me from the own bio, the five match
    // preferences from the stored preferences; the account panel shows and saves this one record.
    AccountRecord account;

    bool hasOwnFlag64() const { return (ownUserType & 0x40) != 0; }
};
