// The scoring of the local lobby: simple snooker rules that judge one stroke from what the physics
// saw (the first ball the cue ball touched, the balls that fell) and keep the frame's score, the
// player on turn and the ball on. No free ball, no miss rule, no re-racks: a place to play, not a
// referee. A foul that pots the cue ball gives the next player the cue ball in hand in the D.
#pragma once

#include <array>
#include <vector>

struct FrameScore {
    std::array<int, 2> score{};
    int playerOn = 0;
    int ballOn = 1;  // 1 a red, 0 a colour after a red, 2..7 that colour once the reds are gone
    int breakScore = 0;
    std::array<int, 10> ballsPotted{};  // balls of the current break, by value
    int frameWonBy = -1;
};

struct StrokeFacts {
    int firstHit = -1;        // the first ball the cue ball touched, -1 none
    std::vector<int> potted;  // balls that left the table, the cue ball included
    int nominated = 0;        // the colour named for a shot at a colour (2..7), 0 none
    int redsLeft = 0;         // reds on the table after the stroke
    double seconds = 0;       // table time until every ball was at rest
};

struct StrokeVerdict {
    bool foul = false;
    int penalty = 0;          // given to the opponent on a foul
    int points = 0;           // scored by the striker
    std::vector<int> respot;  // balls that go back on their spots
    bool ballInHand = false;  // the cue ball was potted: the next player places it in the D
};

// Points of a ball: 1 a red, 2..7 the colours, 0 anything else (the cue ball).
int ballValue(int ball);

// Judges the stroke and moves the frame on: score, turn, ball on, break, and the end of the frame.
StrokeVerdict judgeStroke(FrameScore& frame, const StrokeFacts& facts);

// The player on turn let the shot clock run out: a foul of 4, and the turn passes.
StrokeVerdict judgeTimeout(FrameScore& frame, int redsLeft);
