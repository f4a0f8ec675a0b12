// The game controller's table: the table the user sits at or watches, its seats' game state, the
// status parked while the balls roll, the chat held back for a shot and the tutorial on the table
// (part of GameHandler, which inherits it). The table entry and the game status
// (dispatch/table_entry.cpp, dispatch/table_events*.cpp, game_status.cpp, end_of_shot.cpp) write
// most of it; the shot (shot.cpp) steps the table. The operations below need only this data;
// they are defined in seats.cpp, page_requests.cpp, message_queue.cpp, view_services.cpp and
// shot.cpp.
#pragma once

#include "net/game_status.h"
#include "net/message.h"
#include "physics/shot_stepper.h"
#include "physics/table.h"

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class GameHandler;

// A target area drawn on the table bed during a tutorial topic: corners in table-bed millimetres
// (centre 0) and which of the two mark textures it shows (0 or 1).
struct TutorialMark {
    float x1 = 0, z1 = 0, x2 = 0, z2 = 0;
    int texture = 0;
    bool operator==(const TutorialMark&) const = default;
};

// What one frame owns: the break the referee is calling and the frame last announced. Set back
// when a frame starts and with everything else of the table (TableOwned).
struct FrameOwned {
    int breakPlayer = -1;
    int lastFrameWonBy = -1;
    int lastBreakScore = 0;
};

// What the table sat at or watched owns besides its Table: set back to these values, all at once,
// when the table is left, a replay ends or a login starts (GameHandler::leaveTable). A field added
// here is reset with the rest.
struct TableOwned : FrameOwned {
    // Its privacy travels with the match settings.
    int tablePrivacy = 0;
    // This client hosts its table (shown in the match settings; written where the table is entered).
    bool isHost = false;

    // --- pending status: a game status that arrived while the balls rolled ---
    bool shotAnimating = false;
    bool statusPending = false;
    double statusReceivedAt = 0.0;
    GameStatus pendingStatus;
    std::array<BallState, kBallCount> pendingBalls{};
    std::array<BallState, kBallCount> pendingSavedBalls{};
    int pendingStatusSequence = 0;
    // The statuses that came while the parked one still waited for the rest, applied right after it
    // in their order.
    struct LaterStatus {
        GameStatus status;
        std::array<BallState, kBallCount> balls{};
        std::array<BallState, kBallCount> savedBalls{};
        int sequence = 0;
        double receivedAt = 0.0;
        bool atEndOfShot = false;  // it would have been parked on its own (time-out, frame decided)
    };
    std::deque<LaterStatus> laterStatuses;

    // --- deferred chat ---
    // Deferrable chat that arrived while balls moved, shown in arrival order when they stop.
    std::vector<Message> deferredChatMessages;
    // The game clock when the oldest held line arrived.
    double deferredChatSince = 0.0;

    // --- the table name's options and the line-up ---
    bool tableNameFlagT = false;
    bool tableNameFlagF = false;
    int lineUpNumber = 0;
    bool lineUpShotFlag = false;

    // --- tutorials ---
    bool inTutorial = false;
    int tutorialTopic = 0;
    // The target areas on the table bed.
    std::vector<TutorialMark> tutorialMarks;
};

struct TableState : TableOwned {
    TableState() = default;
    // liveStatus, cueBall and shotStepper point into this object's own table.
    TableState(const TableState&) = delete;
    TableState& operator=(const TableState&) = delete;

    // --- the table ---
    // The table the user sits at or watches.
    Table table;
    LiveStatus* liveStatus = &table.status;
    Ball* cueBall = &table.balls[0];
    // The sub-step loop of the stroke being shown.
    ShotStepper shotStepper{table};

    // --- status book-keeping (the login's: only startSession and the own table entry write it) ---
    // Only game statuses with a newer sequence are applied; 0 lets the first one of a login in.
    int lastStatusSequence = 0;

    // ===== The operations that need only the table's own data. =====
    // ---- seats and turns (seats.cpp)
    // The logged-in user's nick (the connection's user name; empty without a connection).
    const std::string& ownNick() const;
    // The seat holds the logged-in user (exact, case-sensitive).
    bool seatHoldsMe(int seat) const;
    bool isInPlay() const;
    bool isMyTurn() const;
    bool isOpponentsTurn() const;
    int getMySeatInPlay() const;
    int getMySeat() const;
    static bool hasPlayerFlag64(const Player* player);
    int maxBreak() const;
    // The last received message's iid modulo n (0 for n 0): every client at the table picks alike.
    unsigned pickVariant(unsigned n) const;
    // The page request for the table's number (page_requests.cpp).
    int getTableId() const;

    // ---- the balls and held leftovers of a shot (message_queue.cpp)
    // True while any ball moves or still falls into a pocket.
    bool isAnyBallMoving() const;
    // Drops the held chat and the parked status: the table they belong to has been left.
    void dropShotLeftovers();

    // ---- the owners' resets (owners.cpp)
    // Every FrameOwned field at its initial value: a frame starts.
    void resetFrameData();
    // The table as the program has it after start-up: no id, name, seats or people, the start
    // view's balls at rest and its live status, the stroke stopped, and every TableOwned field at
    // its initial value.
    void resetTableData();

    // ---- the start view's balls (view_services.cpp)
    // The ball layout before any table is joined.
    void initBallPositions();
    void resetLiveStatusForStartView();

    // ---- the game-status hook (shot.cpp)
    // The game-status application (applyGameStatus); endShot hands the parked status to it. Without
    // one the status is only logged.
    using GameStatusApplier = void (*)(GameHandler& gameHandler, const GameStatus& status, int sequence,
                                       bool atEndOfShot, const std::vector<int>* replayStatusInts, double replayT);
    static GameStatusApplier setGameStatusApplier(GameStatusApplier applier);
};
