// The game controller's session: folders, the login and the own user, the lobby, the account and
// the server's per-user information (part of GameHandler, which inherits it). Written by
// game_handler.cpp (folders), session.cpp (startSession) and the INFO dispatch (dispatch/info_*.cpp,
// dispatch/table_list.cpp); the player registry is players.cpp's. The operations below need only
// this data; they are defined in game_handler.cpp, session.cpp, players.cpp, notices.cpp and
// seats.cpp.
#pragma once

#include "client/gamehandler/game_settings.h"
#include "client/gamehandler/player_registry.h"
#include "client/gamehandler/requests.h"
#include "physics/player.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

    // --- player registry (player_registry.h) ---
    // The users the server names; a whole user list sweeps out those nothing names any more.
    PlayerRegistry players;

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

    // ===== The operations that need only the session's own data. =====
    // ---- start-up (game_handler.cpp)
    // Sets basePath (once), and on the first call with no prefPath the preference folder and the
    // log; points the resource archive at basePath. Again: only the two log lines.
    void initPaths();

    // ---- the end of a session (session.cpp)
    // Forgets what a session left, at its end and again at the next login's start: the pages' per-login
    // content, and with it their timers and links (the Kred Box countdown, the shot clocks, the chat's
    // "Collect Kred"), and the Kred Box figures.
    void forgetSession();

    // ---- preferences (session.cpp)
    void loadCredentials(std::string& userName, std::string& password);
    // Runs the saved credentials into the Login page's form.
    void showSavedCredentials();
    void saveCredentials(const std::string& userName, const std::string& password);
    void forgetCredentials(const std::string& userName);
    void saveGameSettingsPrefs(const GameSettings& settings);
    std::string loadParamPrefs(const std::string& name);
    void saveParamPrefs(const std::string& name, const std::string& value);
    // One more failed login for the name in "failedUserList", as one read-change-write of the file.
    void countFailedLogin(const std::string& userName);

    // ---- the player registry (players.cpp)
    // The Player of a nick (one leading "-" dropped), created on first lookup; never null. A pointer
    // held past the next user list must be one of the table's (Table::heldPlayers), or it dangles.
    Player* findPlayer(std::string_view nick);

    // ---- notices, concede button, links (notices.cpp)
    void popUpInfo(const std::string& text, int durationMs);
    // popUpInfo unless the text is empty.
    void showNotice(const std::string& text, int durationMs);
    void setConcedeState(int seat);
    // Opens an http(s) address in the desktop browser (core/opener.h).
    void openExternal(const std::string& url);

    // ---- the Arezors (seats.cpp)
    int firstArezor() const;
    bool isArezorOn(int n) const;
};
