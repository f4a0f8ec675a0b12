#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "physics/shot_stepper.h"
#include "physics/table.h"
#include "physics_test_util.h"

using namespace physics_test;

namespace {

struct Kind {
    int version, tableType;
};
constexpr Kind kKinds[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};

// Inside the cushion lines, or resting in a pocket mouth clear of the jaws.
bool onBed(const Table& t, const Ball& b) {
    const TableParams& p = *t.params;
    bool inside = std::abs(b.x) <= 0.5 * p[36] - p[48] + 1e-9 && std::abs(b.z) <= 0.5 * p[37] - p[48] + 1e-9;
    return inside || b.isValidPosition(false, b.x, b.z, 0);
}

double closestPair(const Table& t) {
    double best = 1e300;
    for (int i = 0; i < kBallCount; ++i)
        for (int j = i + 1; j < kBallCount; ++j)
            if (t.balls[i].onTable && t.balls[j].onTable) best = std::min(best, t.balls[i].distanceTo(t.balls[j]));
    return best;
}

// A hard break-off: the cue ball from beside the D, past the Pink, full into the side of the rack.
void breakOff(Table& table, double speedShare) {
    srand48(20240611);
    table.setupBalls(table.status);
    Ball& cue = placeBall(table, BALL_WHITE, 1000, 200);
    const Ball& target = table.balls[16];
    double dx = target.x - cue.x, dz = target.z - cue.z, n = std::hypot(dx, dz);
    double speed = speedShare * (*table.params)[11];
    for (Ball& b : table.balls) b.resetForStroke();
    cue.vx = speed * dx / n;
    cue.vz = speed * dz / n;
}

}  // namespace

TEST(BallContact, StillOrAlikeBallsNeverMeet) {
    CapturedLog log;
    Table table;
    clearTable(table);
    Ball& a = placeBall(table, 10, 0, 0);
    Ball& b = placeBall(table, 11, 52.5, 0);  // touching
    Ball& c = placeBall(table, 12, 80, 0);    // overlapping b
    double earliest = 0.001;
    EXPECT_FALSE(a.timeToBallContact(b, earliest, nullptr, nullptr, 0));
    EXPECT_FALSE(b.timeToBallContact(c, earliest, nullptr, nullptr, 0));
    a.vx = b.vx = c.vx = 300;  // moving alike
    EXPECT_FALSE(a.timeToBallContact(b, earliest, nullptr, nullptr, 0));
    EXPECT_FALSE(b.timeToBallContact(c, earliest, nullptr, nullptr, 0));
    EXPECT_EQ(earliest, 0.001);

    // A touching, still cluster does not hold the shot clock.
    a.vx = b.vx = c.vx = 0;
    placeBall(table, BALL_WHITE, -1000, 300).vx = 400;
    ShotStepper stepper(table);
    ShotResult r = runShot(stepper);
    EXPECT_TRUE(r.cameToRest);
    EXPECT_GT(r.simulatedSeconds, 1.0);
    EXPECT_EQ(log.count("NaN found"), 0);
}

TEST(BallContact, OverlapAndHeadOnResponse) {
    Table table;
    clearTable(table);
    Ball& a = placeBall(table, 10, 0, 0);
    Ball& b = placeBall(table, 11, 50, 0);
    a.vx = 100;
    double earliest = 0.001;
    int ida = -1, idb = -1;
    ASSERT_TRUE(a.timeToBallContact(b, earliest, &ida, &idb, 0));
    EXPECT_EQ(earliest, 1e-6);
    EXPECT_EQ(ida, 10);
    EXPECT_EQ(idb, 11);
    a.vx = -100;  // moving apart
    earliest = 0.001;
    EXPECT_FALSE(a.timeToBallContact(b, earliest, nullptr, nullptr, 0));

    // Head on at 1000 mm/s, no spin: the normal speeds swap.
    b.x = 152.5;
    b.contactPending = false;
    a.vx = 1000;
    earliest = 1;
    ASSERT_TRUE(a.timeToBallContact(b, earliest, nullptr, nullptr, 0));
    EXPECT_NEAR(earliest, 0.1, 1e-12);
    EXPECT_NEAR(a.nextVx, 0, 1e-9);
    EXPECT_NEAR(b.nextVx, 1000, 1e-9);
    EXPECT_NEAR(b.contactNormalSpeed, 1000, 1e-9);
    EXPECT_TRUE(a.contactPending && b.contactPending);
    EXPECT_EQ(a.contactBall, &b);
}

TEST(BallMotion, SlidesThenRollsAndStopsWhereFrictionSays) {
    for (const Kind& k : kKinds) {
        Table table;
        table.setTableType(k.version, k.tableType);
        clearTable(table);
        const TableParams& p = *table.params;
        Ball& cue = placeBall(table, BALL_WHITE, -1000, 100);
        const double v0 = 500, w = p[123];
        cue.vx = v0;  // struck in the centre: pure slide at first
        ShotStepper stepper(table);

        // Sliding ends at natural roll, w / (1 + w) of the speed.
        const double slideTime = v0 / ((1 + w) * p[74]);
        stepper.start();
        while (stepper.simulationTime() < slideTime - 0.01) stepper.subStep();
        EXPECT_GT(cue.vx - cue.rollVx, 1.0) << k.version << k.tableType;
        while (stepper.simulationTime() < slideTime + 0.01) stepper.subStep();
        EXPECT_NEAR(cue.vx, cue.rollVx, 1e-9);
        EXPECT_NEAR(cue.vx, w / (1 + w) * v0 - p[73] * (stepper.simulationTime() - slideTime), 1.0);

        ShotResult r = runShot(stepper);
        ASSERT_TRUE(r.cameToRest);
        const double v1 = w / (1 + w) * v0;
        const double expected = v0 * slideTime - 0.5 * p[74] * slideTime * slideTime + v1 * v1 / (2 * p[73]);
        EXPECT_NEAR(cue.x - -1000, expected, 1.0) << k.version << k.tableType;
        EXPECT_EQ(cue.z, 100);
        EXPECT_FALSE(cue.isMoving());
        EXPECT_TRUE(cue.onTable);
    }
}

TEST(BallMotion, StoppedBallKeepsBoundedSpinThatDecays) {
    Table table;
    clearTable(table);
    const TableParams& p = *table.params;
    Ball& b = placeBall(table, BALL_WHITE, 0, 0);
    b.spinY = 5000;
    EXPECT_FALSE(b.advance(false, nullptr, nullptr, 0.001, 0));
    EXPECT_NEAR(b.spinY, p[76] * p[75] - p[75] * 0.001, 1e-9);
    b.spinY = -0.005;
    EXPECT_TRUE(b.advance(false, nullptr, nullptr, 0.001, 0));
    EXPECT_EQ(b.spinY, 0);
}

TEST(Cushion, StraightCushionBounceLosesSpeedByRestitution) {
    for (const Kind& k : kKinds) {
        Table table;
        table.setTableType(k.version, k.tableType);
        clearTable(table);
        const TableParams& p = *table.params;
        Ball& b = placeBall(table, BALL_WHITE, 500, 800);
        b.vz = 1000;
        double earliest = 1;
        int id = -1, code = -1, pocketFlag = 0;
        ASSERT_TRUE(b.collideWithCushionsAndPockets(earliest, &id, &code, pocketFlag));
        EXPECT_EQ(code, kContactSidePlusZ);
        EXPECT_EQ(pocketFlag, 0);
        EXPECT_NEAR(earliest, (0.5 * p[37] - p[48] - 800) / 1000, 1e-12);
        const double e = 1 - (p[23] + p[24] * std::pow(1000 / p[11], p[22]));
        EXPECT_NEAR(b.nextVz, -e * 1000, 1e-9);
        EXPECT_NEAR(b.nextVx, 0, 1e-9);
        b.advance(false, nullptr, nullptr, earliest, 0);
        EXPECT_NEAR(b.z, 0.5 * p[37] - p[48], 1e-9);
        EXPECT_LT(b.vz, 0);
    }
}

TEST(Cushion, NoStraightCushionInTheMiddlePocketMouth) {
    Table table;
    clearTable(table);
    Ball& b = placeBall(table, BALL_WHITE, 50, -800);
    b.vz = -100;
    double earliest = 1;
    int code = -1, pocketFlag = 0;
    b.collideWithCushionsAndPockets(earliest, nullptr, &code, pocketFlag);
    EXPECT_NE(code, kContactSideMinusZ);
}

TEST(Cushion, JawArcTurnsTheBallBackOntoTheBed) {
    for (const Kind& k : kKinds) {
        Table table;
        table.setTableType(k.version, k.tableType);
        clearTable(table);
        Ball& b = placeBall(table, BALL_WHITE, 80, 600);
        setRolling(b, 0, 1200);
        double earliest = 1;
        int code = -1, pocketFlag = 0;
        ASSERT_TRUE(b.collideWithCushionsAndPockets(earliest, nullptr, &code, pocketFlag));
        EXPECT_EQ(code, kContactArc + 16);
        EXPECT_LT(b.nextVz, 0);
        EXPECT_LT(b.nextVx, 0);

        std::vector<MotionEvent> events;
        ShotStepper stepper(table);
        ShotResult r = runShot(stepper, 120, &events);
        ASSERT_TRUE(r.cameToRest);
        EXPECT_TRUE(b.onTable);
        EXPECT_TRUE(onBed(table, b)) << b.x << " " << b.z;
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events[0].kind, MotionEventKind::Cushion);
        EXPECT_GT(events[0].volume, 0);
    }
}

TEST(Pocket, StraightShotEndsInTheCornerPocket) {
    for (const Kind& k : kKinds) {
        CapturedLog log;
        Table table;
        table.setTableType(k.version, k.tableType);
        clearTable(table);
        const PocketCircle& target = table.pocketCircles[3];
        Ball& b = placeBall(table, BALL_WHITE, target.x - 700, target.z - 700);
        setRolling(b, 1500 / std::sqrt(2.0), 1500 / std::sqrt(2.0));
        std::vector<MotionEvent> events;
        ShotStepper stepper(table);
        ShotResult r = runShot(stepper, 120, &events);
        ASSERT_TRUE(r.cameToRest);
        EXPECT_FALSE(b.onTable);
        EXPECT_FALSE(b.fallingInPocket);
        EXPECT_EQ(b.pocket, 3);
        EXPECT_LT(b.pocketTime, -10000);  // the animation has ended
        EXPECT_LT(b.y, 0);
        int pocketEvents = 0, drops = 0;
        for (const MotionEvent& e : events) {
            if (e.kind == MotionEventKind::Pocket) {
                ++pocketEvents;
                EXPECT_EQ(e.pocket, 3);
                EXPECT_EQ(e.ball, 0);
                EXPECT_EQ(e.speedClass, 1);  // between 0.15 and 0.3 x [11]
            }
            if (e.kind == MotionEventKind::DropIntoEmptyPocket) ++drops;
            EXPECT_NE(e.kind, MotionEventKind::Cushion);
        }
        EXPECT_EQ(pocketEvents, 1);
        EXPECT_EQ(drops, 1);
        EXPECT_EQ(log.count("NaN found"), 0);
    }
}

TEST(Pocket, RollLengthShrinksWithBallsBelowAndNeverGoesBack) {
    Table table;
    clearTable(table);
    const TableParams& p = *table.params;
    // Pocket 2 rolls towards -x; ball k lies k diameters short of the first.
    for (int k = 0; k < 7; ++k) {
        Ball& b = table.balls[10 + k];
        b.onTable = false;
        b.fallingInPocket = true;
        b.pocket = 2;
        b.pocketTime = 0;
        b.x = pocketCentres[2][0];
        b.z = pocketCentres[2][1];
        b.y = p[48];
        bool intoEmpty = false, ontoBalls = false;
        double now = 0;
        while (b.fallingInPocket && now < 2) {
            b.advance(false, &intoEmpty, &ontoBalls, 0.001, now);
            now += 0.001;
        }
        EXPECT_FALSE(b.fallingInPocket);
        EXPECT_EQ(ontoBalls, k > 0);
        double rolled = pocketCentres[2][0] - b.x;
        EXPECT_NEAR(rolled, std::max(0.0, 241 - k * p[47]), 1e-6) << k;
        EXPECT_GE(rolled, 0);
    }
}

TEST(Pocket, BadPocketNumberIsRefusedWithOneError) {
    CapturedLog log;
    Table table;
    clearTable(table);
    Ball& b = table.balls[12];
    b.fallingInPocket = true;
    b.pocket = 9;  // as a bad server status could give it
    EXPECT_FALSE(b.advance(false, nullptr, nullptr, 0.001, 0));
    EXPECT_FALSE(b.fallingInPocket);
    EXPECT_EQ(log.count("ERROR: Invalid pocket number: 9"), 1);
}

TEST(Break, FullRackComesToRestWithoutOverlapOrNaN) {
    for (const Kind& k : kKinds) {
        CapturedLog log;
        Table table;
        table.setTableType(k.version, k.tableType);
        breakOff(table, 0.8);
        std::vector<MotionEvent> events;
        ShotStepper stepper(table);
        ShotResult r = runShot(stepper, 120, &events);
        ASSERT_TRUE(r.cameToRest) << k.version << k.tableType;
        EXPECT_LT(r.maxSubStepsInFrame, ShotStepper::kMaxSubStepsPerFrame);
        EXPECT_LT(r.subSteps, 400000);
        EXPECT_GE(closestPair(table), (*table.params)[47] - 1e-6) << k.version << k.tableType;
        int contacts = 0;
        for (const MotionEvent& e : events) contacts += e.kind == MotionEventKind::BallContact;
        EXPECT_GT(contacts, 15);
        for (const Ball& b : table.balls) {
            EXPECT_FALSE(std::isnan(b.x) || std::isnan(b.z));
            if (b.onTable) {
                EXPECT_TRUE(onBed(table, b)) << b.id << " " << b.x << " " << b.z;
            }
        }
        EXPECT_EQ(log.count("NaN found"), 0);
        EXPECT_EQ(log.count("ERROR"), 0);
    }
}

TEST(Break, SameInputGivesBitIdenticalResult) {
    auto run = [](double out[kBallCount][3]) {
        Table table;
        breakOff(table, 0.9);
        ShotStepper stepper(table);
        runShot(stepper);
        for (int i = 0; i < kBallCount; ++i) {
            out[i][0] = table.balls[i].x;
            out[i][1] = table.balls[i].y;
            out[i][2] = table.balls[i].z;
        }
    };
    double first[kBallCount][3], second[kBallCount][3];
    run(first);
    run(second);
    EXPECT_EQ(std::memcmp(first, second, sizeof first), 0);
}

TEST(Stepper, FrameCapKeepsTheMainThreadGoing) {
    CapturedLog log;
    Table table;
    breakOff(table, 0.8);
    ShotStepper stepper(table);
    stepper.start();
    // A ten-minute hitch runs at most one frame's worth of sub-steps, logged once.
    EXPECT_EQ(stepper.stepFrame(600), ShotStepper::kMaxSubStepsPerFrame);
    EXPECT_EQ(stepper.stepFrame(600), ShotStepper::kMaxSubStepsPerFrame);
    EXPECT_EQ(log.count("Sub-step limit"), 1);
    // The time owed was dropped: a normal frame runs a normal number of sub-steps.
    EXPECT_LT(stepper.stepFrame(1.0 / 60), 200);
}
