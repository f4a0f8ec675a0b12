#include "tools/testserver/local_frame.h"

#include "physics/shot_stepper.h"
#include "physics/table.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// The physics draws its rack from one process-wide random stream; the lobbies of one process
// run on threads of their own.
std::mutex physicsMutex;

int redsOnTable(const Table& table) {
    int count = 0;
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) count += table.balls[i].onTable ? 1 : 0;
    return count;
}

bool validBall(int ball) { return ball >= 0 && ball < kBallCount; }

}  // namespace

StrokeFacts rollStroke(Table& table, const AimParameters& aim) {
    StrokeFacts facts;
    bool before[kBallCount];
    for (int i = 0; i < kBallCount; ++i) before[i] = table.balls[i].onTable;
    table.applyStroke(BALL_WHITE, true, nullptr, aim.aimAngle, aim.topSpin, aim.sideSpin, aim.elevation, aim.power,
                      1.0);
    ShotStepper stepper(table);
    stepper.start();
    std::vector<MotionEvent> events;
    // Two minutes of table time is far beyond any stroke; the bound keeps a broken one from hanging.
    int frame = 0;
    for (; frame < 60 * 120 && (stepper.ballsMoving() || stepper.ballsFalling()); ++frame) {
        events.clear();
        stepper.stepFrame(1.0 / 60, 1.0, &events);
        for (const MotionEvent& e : events) {
            // Only the cue ball moves until the first contact, and it has the lowest index, so
            // the ball a contact names is then the object ball.
            if (e.kind == MotionEventKind::BallContact && facts.firstHit < 0) facts.firstHit = e.ball;
        }
    }
    for (int i = 0; i < kBallCount; ++i) {
        Ball& b = table.balls[i];
        b.fallingInPocket = false;
        b.vx = b.vz = b.rollVx = b.rollVz = b.spinY = 0;
        if (before[i] && !b.onTable) facts.potted.push_back(i);
    }
    facts.redsLeft = redsOnTable(table);
    facts.seconds = frame / 60.0;
    return facts;
}

LocalFrame::LocalFrame() {
    std::lock_guard<std::mutex> lock(physicsMutex);
    table_ = std::make_unique<Table>();
}

LocalFrame::~LocalFrame() = default;

void LocalFrame::rack() {
    std::lock_guard<std::mutex> lock(physicsMutex);
    table_->placeBallsOnSpots();
}

void LocalFrame::start(const std::array<std::string, 2>& players, int breaker, int maxShotTime) {
    rack();
    players_ = players;
    breaker_ = breaker == 1 ? 1 : 0;
    maxShotTime_ = maxShotTime;
    frame_ = FrameScore{};
    frame_.playerOn = breaker_;
    last_ = StrokeVerdict{};
    bestBreak_ = {};
    figures_ = {};
    concededBy_ = -1;
    ballInHand_ = timeout_ = false;
    inPlay_ = true;
    frameStart_ = breakStart_ = shotClockStart_ = Clock::now();
}

int LocalFrame::shotSecondsLeft() const {
    const auto run = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - shotClockStart_).count();
    return static_cast<int>(std::clamp<long long>(maxShotTime_ - std::max<long long>(run, 0), 0, maxShotTime_));
}

TableEvent LocalFrame::status() const {
    TableEvent e(TableEventType::GAME_STATUS);
    GameStatus& s = e.status();
    const auto since = [](Clock::time_point from) {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count());
    };
    s.matchDuration = s.frameDuration = since(frameStart_);
    s.breakDuration = since(breakStart_);
    s.players = players_;
    s.striker = breaker_;
    // A frame that has ended leaves no start behind: the seated are asked to start the next one.
    s.startInfo = inPlay_ ? static_cast<int32_t>(StartInfo::STARTED_AFTER_COIN_TOSS) : 0;
    s.playerOn = frame_.playerOn;
    s.playerOnFirst = breaker_;
    s.gameType = 1;  // snooker
    s.bestOf = 1;
    s.maxShotTime = s.maxShotTimeNow = maxShotTime_;
    s.gameState = inPlay_ ? 1 : 0;
    s.frameWonBy = s.matchWonBy = frame_.frameWonBy;
    if (frame_.frameWonBy >= 0) {
        s.framesWon[frame_.frameWonBy] = 1;
        s.frameOverScore = frame_.score;
    }
    s.frameScore = frame_.score;
    s.breakScore = frame_.breakScore;
    s.ballsPotted = frame_.ballsPotted;
    s.bestBreak = s.bestBreakScore = bestBreak_;
    s.scoreForPocketedBalls = last_.points;
    s.penalty = last_.penalty;
    s.ballOn = frame_.ballOn;
    s.nominatedBall = 0;
    s.ballOnFull = true;
    s.ballInHand = ballInHand_;
    s.timeout = timeout_;
    s.foul = last_.foul;
    s.concededBy = s.matchConcededBy = concededBy_;
    for (int i = 0; i < kBallCount; ++i) {
        const Ball& b = table_->balls[i];
        BallState& state = e.balls()[i];
        state.onTable = b.onTable;
        state.pocket = -1;
        state.x = b.x;
        state.y = b.y;
        state.z = b.z;
        state.orientation = {b.orientation.w, b.orientation.x, b.orientation.y, b.orientation.z};
    }
    e.savedBalls() = e.balls();
    return e;
}

TableEvent LocalFrame::playStroke(const TableEvent& shot) {
    if (!inPlay_) return status();
    const int striker = frame_.playerOn;
    {
        std::lock_guard<std::mutex> lock(physicsMutex);
        StrokeFacts facts = rollStroke(*table_, shot.aim);
        facts.nominated = shot.number;
        lastRollSeconds_ = facts.seconds;
        last_ = judgeStroke(frame_, facts);
        for (int ball : last_.respot) table_->balls[ball].respot(table_->balls, kBallCount);
    }
    ballInHand_ = last_.ballInHand;
    timeout_ = false;
    if (ballInHand_) putCueBallInD();
    bestBreak_[striker] = std::max(bestBreak_[striker], frame_.breakScore);
    SeatFigures& f = figures_[striker];
    if (last_.foul) {
        ++f.fouls;
        figures_[1 - striker].points += last_.penalty;
    } else {
        f.points += last_.points;
        f.pots += static_cast<int>(last_.points > 0 ? 1 : 0);
    }
    f.highestBreak = bestBreak_[striker];
    if (frame_.playerOn != striker) breakStart_ = Clock::now();
    shotClockStart_ = Clock::now() + std::chrono::milliseconds(static_cast<int>(lastRollSeconds_ * 1000));
    if (frame_.frameWonBy >= 0) inPlay_ = false;
    return status();
}

void LocalFrame::placeBall(int ball, double x, double z) {
    if (!validBall(ball)) return;
    Ball& b = table_->balls[ball];
    b.onTable = true;
    b.fallingInPocket = false;
    b.pocket = -1;
    b.x = x;
    b.z = z;
}

void LocalFrame::putCueBallInD() {
    // In the D between the brown and the yellow, clear of both on the way up the table.
    static constexpr double kPlaces[][2] = {{1200, -150}, {1200, 150}, {1120, 0}, {1200, -250}, {1200, 250}};
    for (const auto& place : kPlaces) {
        if (table_->balls[BALL_WHITE].isValidPosition(true, place[0], place[1], 0)) {
            placeBall(BALL_WHITE, place[0], place[1]);
            return;
        }
    }
    placeBall(BALL_WHITE, kPlaces[0][0], kPlaces[0][1]);
}

bool LocalFrame::placeCueBallInHand(double x, double z) {
    if (!inPlay_ || !ballInHand_ || !std::isfinite(x) || !std::isfinite(z) || !isInD(*table_, x, z)) return false;
    if (!table_->balls[BALL_WHITE].isValidPosition(true, x, z, 0)) return false;
    placeBall(BALL_WHITE, x, z);
    return true;
}

bool LocalFrame::playOn() {
    if (!inPlay_ || !last_.foul) return false;
    last_.foul = false;
    return true;
}

bool LocalFrame::retake() {
    if (!playOn()) return false;
    // The penalty stands; the offender's new visit starts from nothing, on a fresh shot clock.
    frame_.playerOn = 1 - frame_.playerOn;
    frame_.breakScore = 0;
    frame_.ballsPotted = {};
    last_ = StrokeVerdict{};
    timeout_ = false;
    breakStart_ = shotClockStart_ = Clock::now();
    return true;
}

void LocalFrame::setState(const FrameScore& state, bool ballInHand) {
    if (!inPlay_) return;
    frame_ = state;
    frame_.playerOn = state.playerOn == 1 ? 1 : 0;
    frame_.frameWonBy = -1;
    ballInHand_ = ballInHand;
    last_ = StrokeVerdict{};
    timeout_ = false;
    bestBreak_[frame_.playerOn] = std::max(bestBreak_[frame_.playerOn], frame_.breakScore);
    shotClockStart_ = Clock::now();
}

void LocalFrame::timeOut() {
    if (!inPlay_) return;
    const int striker = frame_.playerOn;
    last_ = judgeTimeout(frame_, redsOnTable(*table_));
    timeout_ = true;
    ++figures_[striker].fouls;
    figures_[1 - striker].points += last_.penalty;
    breakStart_ = shotClockStart_ = Clock::now();
}

void LocalFrame::removeBall(int ball) {
    if (validBall(ball)) table_->balls[ball].onTable = false;
}

void LocalFrame::concede(int seat) {
    if (!inPlay_) return;
    seat = seat == 1 ? 1 : 0;
    concededBy_ = seat;
    frame_.frameWonBy = 1 - seat;
    inPlay_ = false;
    // The status now tells the end, not the stroke before it.
    last_ = StrokeVerdict{};
}

void LocalFrame::abort() {
    if (!inPlay_) return;
    frame_.frameWonBy = -1;
    inPlay_ = false;
    last_ = StrokeVerdict{};
}

void LocalFrame::keepReds(int reds) {
    for (int i = BALL_LAST_RED; i >= BALL_FIRST_RED && i - BALL_FIRST_RED >= reds; --i) table_->balls[i].onTable = false;
}

void LocalFrame::layOutLineUp(int lineUp) {
    {
        std::lock_guard<std::mutex> lock(physicsMutex);
        table_->placeBallsOnSpots();
    }
    const Ball& blue = table_->balls[BALL_BLUE];
    const Ball& pink = table_->balls[BALL_PINK];
    const Ball& black = table_->balls[BALL_BLACK];
    const int reds = BALL_LAST_RED - BALL_FIRST_RED + 1;
    for (int i = 0; i < reds; ++i) {
        double x = 0, z = 0;
        if (lineUp == 12) {
            // Seven and eight reds in two short lines across the table either side of the pink.
            const int side = i < 8 ? -1 : 1, k = i < 8 ? i : i - 8;
            x = pink.x + side * 70.0;
            z = (k - 3.5) * 56.0;
        } else if (lineUp == 13) {
            const double angle = 2 * 3.14159265358979 * i / reds;
            x = black.x + 140.0 * std::cos(angle);
            z = black.z + 140.0 * std::sin(angle);
        } else {
            // Evenly between the blue and the pink, a ball's width clear of each.
            const double from = blue.x + (pink.x > blue.x ? 1 : -1) * 60.0;
            const double to = pink.x - (pink.x > blue.x ? 1 : -1) * 60.0;
            x = from + (to - from) * i / (reds - 1);
            z = blue.z;
        }
        placeBall(BALL_FIRST_RED + i, x, z);
    }
}
