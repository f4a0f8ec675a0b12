// The game controller's records that travel inside table events: the aim of a stroke, one ball of a
// game status, and the status of frame and match. Field order is the wire order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct AimParameters {
    double aimAngle = 0;   // degrees
    double power = 0;      // up to table constant [0]
    double topSpin = 0;    // percent of the largest tip offset, -100..100
    double sideSpin = 0;   // percent of the largest tip offset, -100..100
    double elevation = 0;  // degrees

    bool operator==(const AimParameters&) const = default;
};

// One ball of a game status, indexed by ball id.
struct BallState {
    bool onTable = false;
    int32_t pocket = 0;  // -1 = not pocketed, else 0..5
    double pocketTime = 0;
    double x = 0;
    double y = 0;  // height of the centre
    double z = 0;
    std::array<float, 4> orientation{};  // quaternion w, x, y, z

    bool operator==(const BallState&) const = default;
};

inline constexpr int GAME_STATUS_BALLS = 25;

struct GameStatus {
    uint32_t matchDuration = 0;
    uint32_t frameDuration = 0;
    uint32_t breakDuration = 0;
    std::array<std::string, 2> players;

    int32_t striker = 0;
    int32_t startInfo = 0;
    int32_t playerOn = 0;
    int32_t playerOnFirst = 0;
    int32_t gameType = 0;
    int32_t bestOf = 0;
    int32_t maxShotTime = 0;
    int32_t maxShotTimeNow = 0;
    int32_t maxPointsBehind = 0;
    int32_t gameState = 0;
    int32_t frameWonBy = 0;
    int32_t matchWonBy = 0;
    std::array<int32_t, 2> framesWon{};
    std::array<int32_t, 2> frameScore{};
    std::array<int32_t, 2> negativePoints{};
    std::array<int32_t, 2> frameOverScore{};
    int32_t breakScore = 0;
    std::array<int32_t, 10> ballsPotted{};
    std::array<int32_t, 2> bestBreak{};
    std::array<int32_t, 2> bestBreakScore{};
    int32_t scoreForPocketedBalls = 0;
    int32_t penalty = 0;
    int32_t ballOn = 0;
    int32_t nominatedBall = 0;

    bool ballInHand = false;
    bool respottedBlack = false;
    bool ballOnFull = false;
    bool foul = false;
    bool freeBall = false;
    bool foulAndAMiss = false;
    bool timeout = false;

    int32_t missCount = 0;
    int32_t timeoutCount = 0;

    bool warningTwoMisses = false;
    bool frameAwardedThreeMisses = false;
    bool frameAwardedThreeTimeouts = false;

    int32_t concededBy = -1;  // -1: nobody conceded
    int32_t matchConcededBy = -1;
    std::array<int32_t, 2> rerackRequests{};
    std::array<int32_t, 2> abortRequests{};
    std::array<int32_t, 2> postponeRequests{};
    int32_t prevBallOn = 0;
    int32_t prevBallOnFull = 0;

    bool prevFreeBall = false;

    // Each travels as its values and a negative end marker, so a stored value is never negative.
    std::vector<int32_t> statusMarkers;
    std::vector<int32_t> touchingBalls;
    std::vector<int32_t> thirdList;

    bool operator==(const GameStatus&) const = default;
};
