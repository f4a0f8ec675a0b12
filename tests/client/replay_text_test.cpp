// Reading status records and replay texts: ranges, the ball forms, the merges and the breaks.
#include "client/gamehandler/replay_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// One status record after its "{": the values most tests vary, the rest neutral.
struct StatusText {
    int playerOn = 0, maxShotTimeNow = 60, gameState = 1, frameWonBy = -1, breakScore = 0;
    int scoreForPocketed = 0, penalty = 0;
    std::string touching = "-1";
    int ballOn = 1, nominated = -1, awardedTimeouts = 0, concededBy = -1;
    std::string closing = "}";

    std::string str() const {
        auto n = [](int v) { return std::to_string(v) + " "; };
        std::string s = n(playerOn) + n(maxShotTimeNow) + n(gameState) + n(frameWonBy) + "-1 0 0 " + "10 20 0 0 " +
                        n(breakScore);
        s += "1 2 3 4 5 6 7 8 9 10 ";
        s += "0 0 0 0 " + n(scoreForPocketed) + n(penalty);
        s += touching + " ";
        s += n(ballOn) + n(nominated) + "0 0 0 0 0 0 0 0 " + n(awardedTimeouts) + n(concededBy) + "-1 ";
        return s + closing;
    }
};

bool read(const std::string& text, ReplayStatus& status, int t = 500) {
    ReplayReader in(text);
    return readGameStatus(in, status, t);
}

TEST(StatusTextTest, RecordsAreCheckedAndStored) {
    struct Case {
        const char* name;
        StatusText record;
        bool ok;
    };
    auto with = [](auto change) {
        StatusText s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"plain", StatusText{}, true},
        {"game state 3 stored as 1", with([](StatusText& s) { s.gameState = 3; }), true},
        {"awarded timeouts 5 read as 0", with([](StatusText& s) { s.awardedTimeouts = 5; }), true},
        {"player on 2", with([](StatusText& s) { s.playerOn = 2; }), false},
        {"shot time 91", with([](StatusText& s) { s.maxShotTimeNow = 91; }), false},
        {"frame won by -2", with([](StatusText& s) { s.frameWonBy = -2; }), false},
        {"break 10000", with([](StatusText& s) { s.breakScore = 10000; }), false},
        {"pocketed score 17", with([](StatusText& s) { s.scoreForPocketed = 17; }), false},
        {"penalty 11", with([](StatusText& s) { s.penalty = 11; }), false},
        {"ball on 11", with([](StatusText& s) { s.ballOn = 11; }), false},
        {"nominated -2", with([](StatusText& s) { s.nominated = -2; }), false},
        {"conceded 2", with([](StatusText& s) { s.concededBy = 2; }), false},
        {"touching id 25", with([](StatusText& s) { s.touching = "25 -1"; }), false},
        {"six touching", with([](StatusText& s) { s.touching = "10 11 12 13 14 15 -1"; }), true},
        {"seven touching", with([](StatusText& s) { s.touching = "10 11 12 13 14 15 16 -1"; }), false},
        {"closing token", with([](StatusText& s) { s.closing = "]"; }), false},
        {"word for a number", with([](StatusText& s) { s.touching = "x -1"; }), false},
    };
    for (const Case& c : cases) {
        ReplayStatus status;
        status.fill(-7);
        const ReplayStatus before = status;
        EXPECT_EQ(read(c.record.str(), status), c.ok) << c.name;
        if (!c.ok) {
            EXPECT_EQ(status, before) << c.name << ": a refused record changes nothing";
        }
    }
}

TEST(StatusTextTest, ValuesLandInTheirPlaces) {
    StatusText s;
    s.gameState = 3;
    s.awardedTimeouts = 5;
    s.touching = "12 14 -1";
    s.breakScore = 9;
    ReplayStatus status{};
    ASSERT_TRUE(read(s.str(), status, 1234));
    EXPECT_EQ(status[2], 1);
    EXPECT_EQ(status[7], 10);
    EXPECT_EQ(status[11], 9);
    EXPECT_EQ(status[12], 1);
    EXPECT_EQ(status[21], 10);
    EXPECT_EQ(status[28], 2);
    EXPECT_EQ(status[29], 12);
    EXPECT_EQ(status[30], 14);
    EXPECT_EQ(status[35], 1);
    EXPECT_EQ(status[45], 0);
    EXPECT_EQ(status[48], 1234);
}

TEST(StatusTextTest, BreakClockRestartsOnlyOnANonScoringShot) {
    ReplayStatus status{};
    status[48] = 77;
    StatusText scoring;
    scoring.scoreForPocketed = 4;
    ASSERT_TRUE(read(scoring.str(), status, 900));
    EXPECT_EQ(status[48], 77);
    ASSERT_TRUE(read(StatusText{}.str(), status, 900));
    EXPECT_EQ(status[48], 900);
}

TEST(StatusTextTest, TextAfterTheRecordStaysInTheStream) {
    const std::string text = StatusText{}.str() + " T 4000";
    ReplayReader in(text);
    ReplayStatus status{};
    ASSERT_TRUE(readGameStatus(in, status, 0));
    std::string word;
    int t = 0;
    ASSERT_TRUE(in.readWord(word));
    ASSERT_TRUE(in.readInt(t));
    EXPECT_EQ(word, "T");
    EXPECT_EQ(t, 4000);
}

// A replay text's header, then the start position closed by a status record.
std::string header(const std::string& names = "Ann Bob", const std::string& date = "2023-01-05 20:00") {
    return "v 1 t 2 s p " + names + " i " + date + " x 7 1 3 60 0 0 0 ";
}
std::string close(const StatusText& s = StatusText{}) { return "{ " + s.str() + " "; }

ReplayParse parse(const std::string& text) {
    ReplayParse p;
    parseReplayText(text, 400, p);
    return p;
}

TEST(ReplayTextTest, HeaderAndTimeStamps) {
    const ReplayParse p = parse(header() + "T 500 T 300 b 3 0 -100.5 20.0 " + close());
    EXPECT_EQ(p.tableVersion, 2);
    EXPECT_EQ(p.tableType, 1);
    EXPECT_EQ(p.playerNames[1], "Bob");
    EXPECT_EQ(p.date, "2023-01-05 20:00");
    EXPECT_EQ(p.info[0], 7);
    EXPECT_EQ(p.info[3], 60);
    EXPECT_EQ(p.totalFrameTime, 500);
    ASSERT_EQ(p.shots.size(), 1u);
    EXPECT_EQ(p.shots[0].startTime, 0);
}

TEST(ReplayTextTest, BallForms) {
    struct Case {
        const char* text;
        int ball;
        bool stored, onTable;
        int pocket;
        double y, z;
    };
    const Case cases[] = {
        {"b 3 0 -100.5 20.0", 3, true, true, 0, 26.25, 20.0},
        {"b 3 4 -100.5 -1 20.0", 3, true, false, 4, -1, 20.0},
        {"b 3 4 -100.5 5 20.0", 3, true, true, 0, 5, 20.0},
        {"b 0 2 10 20 1 0 0 0", 0, true, true, 0, 26.25, 20},
        {"b 25 0 1 2", 25, false, false, 0, 0, 0},
        {"b 3 6 -100.5 -1 20.0", 3, false, false, 0, 0, 0},
        {"b 3 -2 -100.5 20.0", 3, false, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const ReplayParse p = parse(header() + c.text + " " + close());
        SCOPED_TRACE(c.text);
        if (!c.stored) {
            // Nothing stored, nothing changed: the status becomes an event of shot 0, no shot closes.
            EXPECT_TRUE(p.shots.empty());
            continue;
        }
        ASSERT_EQ(p.shots.size(), 1u);
        const ReplayBall& b = p.shots[0].balls[c.ball];
        EXPECT_EQ(b.onTable, c.onTable);
        EXPECT_EQ(b.pocket, c.pocket);
        EXPECT_DOUBLE_EQ(b.y, c.y);
        EXPECT_DOUBLE_EQ(b.z, c.z);
    }
}

TEST(ReplayTextTest, NominationMergesIntoAStrokeWithinFiveMs) {
    for (int strokeAt : {1004, 1006}) {
        const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + "T 1000 n 12 T " + std::to_string(strokeAt) +
                                    " s 0 10 200 0 0 0 b 3 0 5 5 " + close());
        ASSERT_EQ(p.shots.size(), 2u);
        int strokes = 0, nominations = 0, nominated = -1;
        for (const ReplayEvent& e : p.shots[1].events) {
            if (e.kind == EV_STROKE) ++strokes, nominated = e.extra;
            if (e.kind == EV_NOMINATED) ++nominations;
        }
        EXPECT_EQ(strokes, 1);
        EXPECT_EQ(nominations, strokeAt == 1004 ? 0 : 1) << strokeAt;
        EXPECT_EQ(nominated, strokeAt == 1004 ? 12 : 0) << strokeAt;
    }
}

TEST(ReplayTextTest, StrokeValuesAreClamped) {
    const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + "T 100 s 30 5 0 300 -300 99 as 2 1e17 900 0 0 -5 " +
                                "b 3 0 5 5 " + close());
    ASSERT_EQ(p.shots.size(), 2u);
    const ReplayEvent* stroke = nullptr;
    const ReplayEvent* aim = nullptr;
    for (const ReplayEvent& e : p.shots[1].events) {
        if (e.kind == EV_STROKE) stroke = &e;
        if (e.kind == EV_AIM_START) aim = &e;
    }
    ASSERT_TRUE(stroke && aim);
    EXPECT_EQ(stroke->ball, 24);
    EXPECT_DOUBLE_EQ(stroke->aim[1], 1);
    EXPECT_DOUBLE_EQ(stroke->aim[2], 100);
    EXPECT_DOUBLE_EQ(stroke->aim[3], -100);
    EXPECT_DOUBLE_EQ(stroke->aim[4], 70);
    EXPECT_DOUBLE_EQ(aim->aim[1], 400);
    EXPECT_DOUBLE_EQ(aim->aim[4], 0);
    // Angles keep their direction; one far beyond a few turns is brought into one.
    EXPECT_DOUBLE_EQ(stroke->aim[0], 5);
    EXPECT_DOUBLE_EQ(aim->aim[0], std::remainder(1e17, 360.0));
    EXPECT_LE(std::fabs(aim->aim[0]), 180);
}

TEST(ReplayTextTest, CueStrokeReplacesTheLastAimingBeforeTheStroke) {
    // Aiming at 1000 and 4000, the angle set at 4500, the stroke at 5000: the cue stroke starts
    // 2000 ms before it, and the aiming after that moment gives way to it.
    const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + "T 1000 as 0 10 100 0 0 0 T 1500 m 0 5 6 " +
                                "T 4000 ad 0 20 100 0 0 0 T 4500 af 0 33 100 0 0 0 T 5000 s 0 40 100 0 0 0 " +
                                "b 3 0 5 5 " + close());
    ASSERT_EQ(p.shots.size(), 2u);
    std::vector<int> kinds;
    for (const ReplayEvent& e : p.shots[1].events) kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<int>{EV_AIM_START, EV_BALL_PLACED, EV_CUE_STROKE, EV_STROKE}));
    const ReplayEvent& cue = p.shots[1].events[2];
    EXPECT_EQ(cue.time, 3000);
    EXPECT_EQ(cue.extra, 5000);
    EXPECT_DOUBLE_EQ(cue.aim[0], 33);
    EXPECT_DOUBLE_EQ(cue.aim[1], 100);
}

TEST(ReplayTextTest, SeatsAreClampedAndFrameOverNeedsTwoShots) {
    const ReplayParse p = parse(header() + "ff 0 1 0 b 3 0 1 2 " + close() + "T 10 c 5 ff 1 1 0 b 3 0 2 2 " + close() +
                                "T 20 b 3 0 3 3 " + close() + "ff 0 2 1 fm 9 2 1");
    ASSERT_EQ(p.shots.size(), 3u);
    EXPECT_TRUE(p.shots[0].events.empty());
    ASSERT_EQ(p.shots[1].events.size(), 1u);
    EXPECT_EQ(p.shots[1].events[0].kind, EV_FRAME_CONCEDED);
    EXPECT_EQ(p.shots[1].events[0].seat, 1);
    ASSERT_EQ(p.shots[2].events.size(), 2u);
    EXPECT_EQ(p.shots[2].events[1].kind, EV_MATCH_OVER);
    EXPECT_EQ(p.shots[2].events[1].seat, 1);
    EXPECT_EQ(p.shots[2].events[1].a, 2);
}

TEST(ReplayTextTest, UnchangedRecordBecomesAStatusEventWithTheLastSeat) {
    const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + "T 50 rd 1 " + close());
    ASSERT_EQ(p.shots.size(), 1u);
    // The events of the open record are not stored until it closes; close it.
    const ReplayParse q = parse(header() + "b 3 0 1 2 " + close() + "T 50 rd 1 " + close() + "b 3 0 2 2 " + close());
    ASSERT_EQ(q.shots.size(), 2u);
    ASSERT_EQ(q.shots[1].events.size(), 2u);
    EXPECT_EQ(q.shots[1].events[1].kind, EV_STATUS);
    EXPECT_EQ(q.shots[1].events[1].seat, 1);
}

TEST(ReplayTextTest, FailedStatusRecordClosesNothing) {
    StatusText bad;
    bad.penalty = 11;
    const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + "b 3 0 9 9 " + close(bad) + "T 70 " + close());
    ASSERT_EQ(p.shots.size(), 2u);
    EXPECT_EQ(p.shots[1].startTime, 0);
    EXPECT_DOUBLE_EQ(p.shots[1].balls[3].x, 9);
}

TEST(ReplayTextTest, UndoAndRetakeTakeTheOlderPosition) {
    StatusText second;
    second.breakScore = 4;
    second.scoreForPocketed = 4;
    const std::string start = header() + "b 3 0 1 2 " + close() + "T 10 m 3 50 60 b 3 0 7 7 " + close(second);
    const ReplayParse undo = parse(start + "T 20 undo " + close());
    ASSERT_EQ(undo.shots.size(), 3u);
    EXPECT_DOUBLE_EQ(undo.shots[2].balls[3].x, 1);
    EXPECT_EQ(undo.shots[2].status[11], 0);
    const ReplayParse retake = parse(start + "T 20 w 0 " + close(second));
    ASSERT_EQ(retake.shots.size(), 3u);
    EXPECT_DOUBLE_EQ(retake.shots[2].balls[3].x, 50);
    EXPECT_DOUBLE_EQ(retake.shots[2].balls[3].z, 60);
}

TEST(ReplayTextTest, BreaksOpenGrowAndClose) {
    auto shot = [](int player, int breakScore, int t) {
        StatusText s;
        s.playerOn = player;
        s.breakScore = breakScore;
        s.scoreForPocketed = breakScore > 0 ? 1 : 0;
        return "T " + std::to_string(t) + " b 3 0 " + std::to_string(t) + " 1 " + close(s);
    };
    const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + shot(0, 1, 1000) + shot(0, 8, 2000) +
                                shot(1, 0, 3000) + shot(1, 5, 4000) + shot(0, 0, 5000));
    ASSERT_EQ(p.breaks.size(), 2u);
    EXPECT_EQ(p.breaks[0].byPlayer, 0);
    EXPECT_EQ(p.breaks[0].score, 8);
    EXPECT_EQ(p.breaks[0].shotNumberStart, 1);
    EXPECT_EQ(p.breaks[0].shotNumberEnd, 3);
    EXPECT_EQ(p.breaks[0].t, 0);
    EXPECT_EQ(p.breaks[0].duration, 3000);
    EXPECT_EQ(p.breaks[1].byPlayer, 1);
    EXPECT_EQ(p.breaks[1].score, 5);
    EXPECT_EQ(p.bestBreakScore, 8);
    EXPECT_EQ(p.bestBreakFirstShot, 1);
}

TEST(ReplayTextTest, MalformedTextsEndWithWhatWasRead) {
    for (const char* tail : {"T x b 3 0 1 2", "b 3", "{ 1 2", "s 0 1", "i a", "m 40 1 2", ""}) {
        const ReplayParse p = parse(header() + "b 3 0 1 2 " + close() + tail);
        EXPECT_EQ(p.shots.size(), 1u) << tail;
    }
    EXPECT_TRUE(parse("").shots.empty());
    EXPECT_TRUE(parse("v 2 zzz 17 { }").shots.empty());
}

}  // namespace
