// One frame at a table of the local lobby: its own physics table, racked at the start, on which
// every stroke is rolled from the same positions the clients have, then judged by the frame rules;
// the result goes back to the clients as a game status.
#pragma once

#include "net/table_event.h"
#include "tools/testserver/frame_rules.h"

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

class Table;

// What a stroke did on the table: the first ball the cue ball touched and the balls that fell.
StrokeFacts rollStroke(Table& table, const AimParameters& aim);

class LocalFrame {
public:
    LocalFrame();
    ~LocalFrame();
    LocalFrame(const LocalFrame&) = delete;
    LocalFrame& operator=(const LocalFrame&) = delete;

    // A new frame, freshly racked, with the breaker on turn.
    void start(const std::array<std::string, 2>& players, int breaker, int maxShotTime);
    bool inPlay() const { return inPlay_; }
    void stop() { inPlay_ = false; }
    // Every ball on its spot, as on a table nobody has played at.
    void rack();
    // The seat concedes: the frame goes to the other seat.
    void concede(int seat);
    // The frame ends without a winner.
    void abort();
    // The reds laid out for a practice line-up (10 in a line between blue and pink, 11 the same, 12 two
    // lines beside the pink, 13 a ring around the black); the colours on their spots.
    void layOutLineUp(int lineUp);
    // Takes reds off the rack from the last one on, leaving this many (a short frame).
    void keepReds(int reds);

    // Per seat: points scored, balls potted, fouls, the highest break.
    struct SeatFigures {
        int points = 0, pots = 0, fouls = 0, highestBreak = 0;
    };
    const std::array<SeatFigures, 2>& figures() const { return figures_; }
    const std::array<std::string, 2>& players() const { return players_; }
    const FrameScore& score() const { return frame_; }

    // The GAME_STATUS event of the frame as it stands.
    TableEvent status() const;
    // The whole seconds left on the shot clock of the player on turn: the clients start it at each
    // status, after a stroke once its balls have come to rest.
    int shotSecondsLeft() const;
    // Rolls the stroke and judges it; the status after it.
    TableEvent playStroke(const TableEvent& shot);
    // How long the balls of the last stroke rolled, in seconds of table time.
    double lastRollSeconds() const { return lastRollSeconds_; }
    // A ball put on the table or taken off by a player (practice set-ups).
    void placeBall(int ball, double x, double z);
    void removeBall(int ball);
    // The cue ball on the first free place of a few in the D (the break, a cue ball in hand).
    void putCueBallInD();
    // The player on turn moves the cue ball in hand: only into the D, clear of the other balls.
    bool placeCueBallInHand(double x, double z);
    bool ballInHand() const { return ballInHand_; }

    // The answers to a foul, from the fouled player on turn: play on from here, or the offender
    // plays again from where the balls lie. False when no foul waits for an answer.
    bool playOn();
    bool retake();
    // The player on turn let the shot clock run out.
    void timeOut();
    // The score, the turn and the ball on of a position set up from elsewhere (a replay).
    void setState(const FrameScore& state, bool ballInHand);

    // For tests: put a ball where it is wanted before a stroke.
    Table& table() { return *table_; }
    FrameScore& frameScore() { return frame_; }

private:
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<Table> table_;
    FrameScore frame_;
    StrokeVerdict last_;
    std::array<std::string, 2> players_;
    int breaker_ = 0;
    int maxShotTime_ = 60;
    bool inPlay_ = false;
    bool ballInHand_ = false;
    bool timeout_ = false;
    double lastRollSeconds_ = 0;
    int concededBy_ = -1;
    std::array<SeatFigures, 2> figures_{};
    std::array<int, 2> bestBreak_{};
    Clock::time_point frameStart_{};
    Clock::time_point breakStart_{};
    Clock::time_point shotClockStart_{};
};
