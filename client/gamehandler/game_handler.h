// The one central game object. Only the fields and operations that the connection, the shell state
// and the message drain use live here so far; the game controller grows around them.
#pragma once

#include "client/gamehandler/game_settings.h"
#include "net/game_status.h"
#include "physics/table.h"

#include <cstdint>

class GameHandler;
struct Message;

// The dispatch of one received message, run on the main thread with no lock held. The message
// dispatch installs its handler here; without one, drained messages are only logged.
using MessageProcessor = void (*)(GameHandler& gameHandler, const Message& message);
MessageProcessor setMessageProcessor(MessageProcessor processor);

class GameHandler {
public:
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
    // Bit 0x40 of the own user type: such a user's live aim goes out only where a sender forces it.
    bool hasOwnFlag64() const { return (ownUserType & 0x40) != 0; }

    // Ends every mouse action of the game view. There is no game view yet, so nothing is running.
    void resetAimingState(bool keep);

    // Empties the connection's incoming queue into the message dispatch, oldest first. Main thread.
    void processMessageQueue();
};

// Built on first use (on the main thread, before any other thread exists) and kept until exit.
GameHandler& getGameHandler();
