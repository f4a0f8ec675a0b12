// The one central game object. Only the fields and operations that the connection, the shell state
// and the message drain use live here so far; the game controller grows around them.
#pragma once

#include "client/gamehandler/game_settings.h"
#include "net/game_status.h"
#include "physics/table.h"

#include <cstdint>
#include <string>

class GameHandler;
struct Message;
struct MatchSettings;
struct AccountRecord;

// The dispatch of one received message, run on the main thread with no lock held. The message
// dispatch installs its handler here; without one, drained messages are only logged.
using MessageProcessor = void (*)(GameHandler& gameHandler, const Message& message);
MessageProcessor setMessageProcessor(MessageProcessor processor);

// The client version that every login reports to the server and shows in the Lobby page.
inline constexpr const char* CLIENT_VERSION = "0.1.777";

class GameHandler {
public:
    // The executable's folder and the user's preference folder, each ending with "/"; set by
    // initPaths. The preferences file and the log live in prefPath; empty until then.
    std::string basePath;
    std::string prefPath;

    GameSettings gameSettings;
    // The current frame's time in seconds since start, stored by the main loop once per frame.
    double now = 0.0;
    // Set when the preferences file could not be opened; the lobby then asks mouse or touchpad once.
    bool mouseOrTouchpadPopUpPending = false;
    bool inTutorial = false;
    int tutorialTopic = 0;

    // What the request senders read and write (main thread, no lock).
    // The table the user sits at or watches; its privacy travels with the match settings.
    Table table;
    int tablePrivacy = 0;
    // The own aim and the index of the ball it is taken from (-2: share the start whatever the flag).
    AimParameters aim;
    int aimBallIndex = 0;
    // secondsSinceStart seconds of the last live-aim start or move sent: the moves' rate limit.
    double lastLiveAimSent = 0.0;
    // The game clock (now) when the own shot was sent; the shot's echo measures the round trip from it.
    double shotSentAt = 0.0;
    // Set when the lesson's view change was done during tutorial topics 13 and 14.
    bool tutorialActionDone = false;
    bool shotModeFlag = false;
    bool replayAimLinesShow = false;
    bool replayAimingProcessShow = false;
    // The own user type from the user list; 0 after every login.
    uint16_t ownUserType = 0;

    // Per-login state, reset by startSession (main thread).
    bool ownUserNameConfirmed = false;
    // Only game statuses with a newer sequence are applied; 0 lets the first one of a login in.
    int lastStatusSequence = 0;
    bool showLastLobbyList = false;
    std::string lobbyServerName;
    std::string ownUserName;
    bool loggedIn = false;
    // Nanoseconds since the epoch on the system clock: this login, and the first login of the run.
    int64_t loginWallNanos = 0;
    int64_t firstLoginWallNanos = 0;
    bool firstLoginDone = false;
    bool tutorialWarningPending = true;
    // Set just before the own bio data is requested; the BIO_DATA answer then fills the own record.
    bool ownBioDataPending = false;
    // Set when the own stroke has been sent and its echo is awaited.
    bool waitingForShot = false;
    // secondsSinceStart seconds when the last login completed.
    double loginTime = 0.0;
    // Bit 0x40 of the own user type: such a user's live aim goes out only where a sender forces it.
    bool hasOwnFlag64() const { return (ownUserType & 0x40) != 0; }

    // Sets basePath (once), and on the first call with no prefPath the preference folder and the
    // log; points the resource archive at basePath.
    void initPaths();

    // The preferences file, over the store of the preference folder.
    void loadCredentials(std::string& userName, std::string& password);
    // Runs the saved credentials into the Login page's form.
    void showSavedCredentials();
    void saveCredentials(const std::string& userName, const std::string& password);
    void forgetCredentials(const std::string& userName);
    // Loads the stored settings; a file that cannot be opened at all (first run) arms the lobby's
    // mouse-or-touchpad question.
    void loadGameSettingsPrefs(GameSettings& settings);
    void saveGameSettingsPrefs(const GameSettings& settings);
    std::string loadParamPrefs(const std::string& name);
    void saveParamPrefs(const std::string& name, const std::string& value);
    // One more failed login for the name in "failedUserList", as one read-change-write of the file.
    void countFailedLogin(const std::string& userName);

    // The start of play after a successful login: resets the per-login state and the pages that
    // keep per-login content, and sends the first requests of every login. Main thread.
    void startSession(const std::string& serverName, const std::string& userName);

    // Ends every mouse action of the game view. There is no game view yet, so nothing is running.
    void resetAimingState(bool keep);

    // Empties the connection's incoming queue into the message dispatch, oldest first, applying the
    // login outcomes queued among the messages in their place. Main thread.
    void processMessageQueue();

    // ---- Page requests: what the pages' requests ask of the game controller. Each is declared here
    // ---- for the query dispatcher; until its own work is built it only logs (page_requests.cpp).
    // The page-button dispatcher: the game controller owns the meaning of every button name.
    void buttonPress(const std::string& name, int idata1, const std::string& sdata1);
    // Slash-commands, or the text as a chat line to the lobby (fromLobby) or to the table.
    void sendChatText(const std::string& text, bool fromLobby, bool replayConfirmed);
    void sendStartSingleReq();
    int getTableId() const;
    bool isArezorOn(int n) const;
    void setViewMode(const std::string& role, const std::string& viewMode);
    void setChatTextEmpty(bool isEmpty);
    void onHtmlWindowEvent(const std::string& event, const std::string& what);
    void changePrivacy(int privacy);
    void openGameSettings();
    void closeGameSettings();
    void resetGameSettings();
    void saveGameSettings(const GameSettings& settings);
    void openMatchSettings();
    void closeMatchSettings();
    void resetMatchSettings();
    void saveMatchSettings(const MatchSettings& settings);
    void openMyAccount();
    void closeMyAccount();
    void saveMyAccount(const AccountRecord& account);
    void openPeople(const std::string& userToBlock);
    void closePeople();
    void whisperPlayer(const std::string& userName);
    void closeBio();
    // ---- End of the page requests.
};

// Built on first use (on the main thread, before any other thread exists) and kept until exit.
GameHandler& getGameHandler();
