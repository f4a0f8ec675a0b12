// The local lobby's scoring, one stroke per row, and a stroke rolled on its own physics table: a red
// into a middle pocket scores.
#include "tools/testserver/frame_rules.h"
#include "tools/testserver/local_frame.h"

#include "physics/table.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    FrameScore before;
    StrokeFacts facts;
    std::array<int, 2> score;
    int playerOn;
    int ballOn;
    bool foul;
    int penalty;
    std::vector<int> respot;
    int frameWonBy;
    int breakScore;
};

FrameScore at(std::array<int, 2> score, int playerOn, int ballOn, int breakScore = 0) {
    FrameScore f;
    f.score = score;
    f.playerOn = playerOn;
    f.ballOn = ballOn;
    f.breakScore = breakScore;
    return f;
}

TEST(FrameRulesTest, OneStrokePerRow) {
    const std::vector<Row> rows = {
        {"pot a red", at({0, 0}, 0, 1), {10, {10}, 0, 14}, {1, 0}, 0, 0, false, 0, {}, -1, 1},
        {"two reds at once", at({3, 0}, 0, 1, 3), {11, {11, 12}, 0, 12}, {5, 0}, 0, 0, false, 0, {}, -1, 5},
        {"pot the nominated colour, reds left", at({1, 0}, 0, 0, 1), {6, {6}, 6, 5}, {7, 0}, 0, 1, false, 0, {6}, -1, 7},
        {"colour after the last red", at({1, 0}, 0, 0, 1), {7, {7}, 7, 0}, {8, 0}, 0, 2, false, 0, {7}, -1, 8},
        {"yellow in the colour sequence stays down", at({20, 0}, 1, 2), {2, {2}, 0, 0}, {20, 2}, 1, 3, false, 0, {}, -1, 2},
        {"miss: nothing potted", at({9, 2}, 0, 1, 9), {10, {}, 0, 8}, {9, 2}, 1, 1, false, 0, {}, -1, 0},
        {"no ball hit", at({0, 0}, 0, 1), {-1, {}, 0, 15}, {0, 4}, 1, 1, true, 4, {}, -1, 0},
        {"in-off after a red", at({0, 0}, 1, 1), {10, {0}, 0, 15}, {4, 0}, 0, 1, true, 4, {}, -1, 0},
        {"black hit first when a red is on", at({0, 0}, 0, 1), {7, {}, 0, 15}, {0, 7}, 1, 1, true, 7, {}, -1, 0},
        {"red potted with the colour on", at({1, 0}, 0, 0), {5, {5, 13}, 5, 13}, {1, 5}, 1, 1, true, 5, {5}, -1, 0},
        {"other colour than the nominated one", at({1, 0}, 0, 0), {3, {3}, 6, 4}, {1, 6}, 1, 1, true, 6, {3}, -1, 0},
        {"last black decides", at({40, 45}, 0, 7), {7, {7}}, {47, 45}, 0, 7, false, 0, {}, 0, 7},
        {"last black level goes to the potter", at({40, 47}, 0, 7), {7, {7}}, {47, 47}, 0, 7, false, 0, {}, 0, 7},
        {"foul on the last black ends the frame", at({40, 36}, 0, 7), {-1, {}}, {40, 43}, 1, 7, true, 7, {}, 1, 0},
    };
    for (const Row& row : rows) {
        FrameScore frame = row.before;
        const StrokeVerdict verdict = judgeStroke(frame, row.facts);
        EXPECT_EQ(frame.score, row.score) << row.name;
        EXPECT_EQ(frame.playerOn, row.playerOn) << row.name;
        EXPECT_EQ(frame.ballOn, row.ballOn) << row.name;
        EXPECT_EQ(verdict.foul, row.foul) << row.name;
        EXPECT_EQ(verdict.penalty, row.penalty) << row.name;
        EXPECT_EQ(verdict.respot, row.respot) << row.name;
        EXPECT_EQ(frame.frameWonBy, row.frameWonBy) << row.name;
        EXPECT_EQ(frame.breakScore, row.breakScore) << row.name;
    }
}

// Only the cue ball and one red on the table, both on the line to the near middle pocket.
void lineUpRedOnMiddlePocket(LocalFrame& frame) {
    for (int i = 1; i < kBallCount; ++i) frame.removeBall(i);
    frame.placeBall(BALL_WHITE, 0, -300);
    frame.placeBall(BALL_FIRST_RED, 0, -700);
}

TEST(FrameRulesTest, ARedRolledIntoAPocketScoresAndTheStrikerStaysOn) {
    LocalFrame frame;
    frame.start({"ann", "ann"}, 0, 60);
    lineUpRedOnMiddlePocket(frame);
    TableEvent shot(TableEventType::SHOT);
    shot.aim = AimParameters{-90, 150, 0, 0, 0};
    const TableEvent status = frame.playStroke(shot);
    const GameStatus& s = status.status();
    EXPECT_EQ(s.frameScore, (std::array<int32_t, 2>{1, 0}));
    EXPECT_EQ(s.playerOn, 0);
    EXPECT_EQ(s.ballOn, 0);
    EXPECT_FALSE(s.foul);
    EXPECT_FALSE(status.balls()[BALL_FIRST_RED].onTable);
    EXPECT_TRUE(status.balls()[BALL_WHITE].onTable);
    // A colour is on next, and the frame is still live.
    EXPECT_EQ(s.gameState, 1);
    EXPECT_EQ(frame.score().ballOn, 0);
}

// A frame ended by a concede or an abort tells the end alone: the foul of the stroke before it is
// not called again.
TEST(FrameRulesTest, AConcedeOrAnAbortAfterAFoulCarriesNoFoul) {
    for (const bool conceded : {true, false}) {
        LocalFrame frame;
        frame.start({"ann", "bob"}, 0, 60);
        lineUpRedOnMiddlePocket(frame);
        TableEvent shot(TableEventType::SHOT);
        shot.aim = AimParameters{90, 150, 0, 0, 0};  // away from the red: nothing hit
        ASSERT_TRUE(frame.playStroke(shot).status().foul);
        if (conceded)
            frame.concede(1);
        else
            frame.abort();
        const GameStatus s = frame.status().status();
        EXPECT_FALSE(s.foul) << conceded;
        EXPECT_EQ(s.penalty, 0) << conceded;
        EXPECT_EQ(s.scoreForPocketedBalls, 0) << conceded;
        EXPECT_EQ(s.frameScore, (std::array<int32_t, 2>{0, 4})) << conceded;
        EXPECT_EQ(s.frameWonBy, conceded ? 0 : -1);
    }
}

}  // namespace
