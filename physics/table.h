// The one snooker table the client shows: identity, seats and people, 25 balls and a saved
// copy, the live game status, and the constants and edge geometry of its kind.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "physics/ball.h"
#include "physics/params.h"
#include "physics/player.h"

// A rounded cushion nose beside a pocket mouth; angles (radians, atan2 in the x-z plane) bound
// the directions from the centre in which a ball can touch it.
struct PocketArc {
    double x = 0, z = 0, radius = 0, minAngle = 0, maxAngle = 0;
};

// A ball enters the pocket when its centre comes within radius - ball radius of the centre.
struct PocketCircle {
    double x = 0, z = 0, radius = 0;
};

// The table's live copy of the game status, in the order of the status the server sends,
// with start time points in place of durations and player pointers in place of nicks.
struct LiveStatus {
    std::chrono::system_clock::time_point matchStart{}, frameStart{}, breakStart{};
    Player* players[2] = {nullptr, nullptr};
    int striker = -1;
    uint16_t startInfo = 0;
    int playerOn = 0;
    int playerOnFirst = 0;
    int gameType = 1;
    int bestOf = 3;
    int maxShotTime = 90;
    int maxShotTimeNow = 90;
    int maxPointsBehind = 10;
    int gameState = 0;  // 1 = a frame in play
    int frameWonBy = -1;
    int matchWonBy = -1;
    int framesWon[2] = {0, 0};
    int frameScore[2] = {0, 0};
    int negativePoints[2] = {999999, 999999};
    int frameOverScore[2] = {0, 0};
    int breakScore = 0;
    int ballsPotted[10] = {};
    // Working values of the game controller: two flags set at frame start, then one flag and
    // three counters cleared by the reset.
    bool frameStartFlags[2] = {false, false};
    int bestBreak[2] = {0, 0};
    int bestBreakScore[2] = {0, 0};
    bool controllerResetFlag = false;
    int controllerResetValues[3] = {0, 0, 0};
    int scoreForPocketedBalls = 0;
    int penalty = 0;
    Ball* balls = nullptr;  // the table's 25 balls
    std::vector<int> statusMarkers;
    int ballOn = 1;
    int nominatedBall = 0;
    bool ballInHand = true;
    bool respottedBlack = false;
    bool ballOnFull = true;
    bool foul = false;
    bool freeBall = false;
    bool foulAndAMiss = false;
    bool timeout = false;
    int missCount = 0;
    int timeoutCount = 0;
    bool warningTwoMisses = false;
    bool frameAwardedThreeMisses = false;
    bool frameAwardedThreeTimeouts = false;
    int concededBy = -1;
    int matchConcededBy = -1;
    int rerackRequests[2] = {0, 0};
    int abortRequests[2] = {0, 0};
    int postponeRequests[2] = {0, 0};
    std::vector<int> touchingBalls;  // balls touching the cue ball
    int prevBallOn = 0;
    int prevBallOnFull = 0;
    bool prevFreeBall = false;
    std::vector<int> thirdList;
    bool timeoutProlongDeciding = false;
};

// What predictFirstBallHit works out besides the ball: the error budget of the aim (degrees), the
// cue ball's centre at the contact (the ghost ball), the object ball's place and the fine tolerance.
// With no ball hit only the three errors are set; the rest stays 0.
struct FirstBallHit {
    double totalError = 0, baseError = 0, cutError = 0;
    double objectDirectionError = 0;  // how far the object ball's path may turn (degrees)
    double ghostX = 0, ghostZ = 0;
    double objectX = 0, objectZ = 0;
    double fineTolerance = 0;
};

class Table {
public:
    static constexpr int kMaxPeople = 50;

    Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    Player* seats[2] = {nullptr, nullptr};
    std::vector<Player*> people;  // players and watchers; the registry owns them
    int id = 0;
    std::string name;
    int version = 2;
    int tableType = 1;
    int tableMode = 0;
    int arena = 0;  // room of the scene: 1 decorated, 0 dark
    TableParams* params = nullptr;
    std::array<PocketArc, kPocketArcCount> pocketArcs{};
    std::array<PocketCircle, kPocketCount> pocketCircles{};
    Ball balls[kBallCount];
    LiveStatus status;
    Ball savedBalls[kBallCount];
    uint8_t controllerFlag = 0;
    int controllerCounter = 0;
    // The ball a stroke made airborne (-1 none) and the shot time until which it flies.
    int airborneBall = -1;
    double airborneUntil = 0;

    void setId(int value) { id = value; }
    int getId() const { return id; }
    void setName(const std::string& value) { name = value; }
    std::string getName() const { return name; }
    int getVersionAndType(int& versionOut) const {
        versionOut = version;
        return tableType;
    }
    int getTableMode() const { return tableMode; }
    void setTableMode(int value) { tableMode = value; }
    void setTableType(int newVersion, int newTableType);

    bool setPlayer(int seat, Player* player);
    Player* getPlayer(int seat) const;
    bool addPlayer(Player* player);

    int getPeopleCount() const { return static_cast<int>(people.size()); }
    Player* getPerson(int index) const;
    bool addPerson(Player* player);
    void insertPerson(Player* player);
    void removePerson(Player* player);
    // Every Player pointer the table holds: seats, people and the live status's players.
    std::vector<const Player*> heldPlayers() const;

    void createBalls();
    void resetGameState();
    // Balls of pocket below heightLimit; a bad pocket number counts none.
    int countBallsInPocket(int pocketNumber, double heightLimit) const;
    // Takes the ball out of its pocket and moves the balls that fell after it down one place.
    void takeBallFromPocket(int ballIndex);
    // A pocket holding four or more balls keeps only the last to fall.
    void limitBallsInPockets();

    // Default positions of a new table: colours on their spots, the reds racked.
    void placeBallsOnSpots();
    // The start view: colours respotted, a tight rack, and the frame-start status values.
    void setupBalls(LiveStatus& liveStatus);

    // Sets the ball moving as the cue strikes it (angle and elevation in degrees, spins in percent,
    // power clamped to 0..[0], a non-finite value counting as 0) after resetting the motion of every
    // ball, and records the airborne time.
    // Unless withoutError, the angle gets a random error (scaled by factor) that never changes the
    // first ball hit; out receives the object-ball direction error (0 without error). Returns the
    // final angle in (-180, 180].
    double applyStroke(int ballIndex, bool withoutError, double* out, double angle, double topSpin, double sideSpin,
                       double elevation, double power, double factor);
    // The first ball the ball would hit along the aim (degrees), or -1, with its error budget.
    int predictFirstBallHit(int ballIndex, double aimAngle, double elevation, FirstBallHit* hit = nullptr) const;
    // The speed (mm/s) of a centre hit at this power.
    double cueSpeedFromPower(double power) const;
    // Share (0..1) of 81 vertical tip offsets at elevation [69] whose cue is not clear.
    double cueBlockedFraction(int ballIndex, double aimAngle) const;

    // Ball ids and pocket numbers from outside (the server) are checked with these: a bad one
    // writes one ERROR line under the caller's name.
    static bool checkBallId(int ballIndex, const char* function);
    static bool checkPocket(int pocketNumber, const char* function);

private:
    double drawAimError(int ballIndex, double angle, double elevation, double sideSpin, double factor, double* out);
    void copySeatsToStatus();
    void placeRack(Ball* set, double rowFactor, double jitterBound, double overlapLimit);
};

// Selects the record of (version, tableType) and rebuilds the edge geometry; an unsupported
// pair is logged and refused, the table unchanged.
bool changeTableType(Table& table, int version, int tableType);
void setupCushionAndPocketArcs(Table& table);

// Does (x, z) lie in the D?
bool isInD(const Table& table, double x, double z);
bool isInD(const LiveStatus& liveStatus, double x, double z);
