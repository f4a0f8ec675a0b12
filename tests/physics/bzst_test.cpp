#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "physics/bzst.h"
#include "physics/shot_stepper.h"
#include "physics/table.h"
#include "physics_test_util.h"

using namespace physics_test;

namespace {

constexpr const char* kExample =
    "v 1 t 2 c b 0 0 1755.625 -105 1 0 0 0 b 2 0 1047.5 -292 b 10 3 1800 -120.5 900 a 90 160 80 0 0 e\n";

void expectParked(const Table& t, int id) {
    const Ball& b = t.balls[id];
    EXPECT_FALSE(b.onTable) << id;
    EXPECT_EQ(b.pocket, -1) << id;
    EXPECT_EQ(b.x, 99999.9 + 100 * id) << id;
    EXPECT_EQ(b.z, 99999.9 + 100 * id) << id;
    EXPECT_EQ(b.y, 26.25) << id;
}

// Writes, reads into a fresh table, writes again: the two texts must agree.
void expectRoundTrip(const Table& table) {
    const std::string first = writeBzstString(table, -33.25, 123.5, 0.1, -40, 7);
    Table other;
    ASSERT_TRUE(loadBzstString(other.status, first)) << first;
    EXPECT_EQ(writeBzstString(other, -33.25, 123.5, 0.1, -40, 7), first);
    for (int i = 0; i < kBallCount; ++i) {
        const Ball& a = table.balls[i];
        const Ball& b = other.balls[i];
        if (!a.onTable && a.pocket < 0) continue;
        EXPECT_EQ(a.onTable, b.onTable) << i;
        EXPECT_EQ(a.onTable ? -1 : a.pocket, b.pocket) << i;
        EXPECT_EQ(a.x, b.x) << i;
        EXPECT_EQ(a.z, b.z) << i;
        if (!a.onTable) {
            EXPECT_EQ(a.y, b.y) << i;
        }
    }
}

}  // namespace

TEST(Bzst, WritesTheExampleLine) {
    Table table;
    clearTable(table);
    placeBall(table, BALL_WHITE, 1755.625, -105);
    placeBall(table, BALL_YELLOW, 1047.5, -292);
    Ball& red = table.balls[10];
    red.pocket = 3;
    red.x = 1800;
    red.y = -120.5;
    red.z = 900;
    EXPECT_EQ(writeBzstString(table, 90, 160, 80, 0, 0), kExample);

    // Shortest exact forms: 0.1 keeps all 17 digits, a float orientation at most 9.
    table.balls[BALL_WHITE].orientation.rotate(33, 0, 1, 0);
    const std::string text = writeBzstString(table, 0.1, 160, 80, 0, 0);
    EXPECT_NE(text.find(" a 0.10000000000000001 160 "), std::string::npos) << text;
    const Quaternion& q = table.balls[BALL_WHITE].orientation;
    Table other;
    ASSERT_TRUE(loadBzstString(other.status, text));
    EXPECT_EQ(other.balls[BALL_WHITE].orientation.w, q.w);
    EXPECT_EQ(other.balls[BALL_WHITE].orientation.y, q.y);
}

TEST(Bzst, ReadsTheExampleAndLogs) {
    CapturedLog log;
    Table table;
    ASSERT_TRUE(loadBzstString(table.status, kExample));
    const Ball& cue = table.balls[BALL_WHITE];
    EXPECT_TRUE(cue.onTable);
    EXPECT_EQ(cue.x, 1755.625);
    EXPECT_EQ(cue.y, 26.25);
    EXPECT_EQ(cue.z, -105);
    EXPECT_EQ(cue.pocket, -1);
    const Ball& red = table.balls[10];
    EXPECT_FALSE(red.onTable);
    EXPECT_EQ(red.pocket, 3);
    EXPECT_EQ(red.y, -120.5);
    expectParked(table, BALL_PINK);
    EXPECT_EQ(log.count("loadBzstString: Ball 10: pocket=3, x=1800, z=900\n"), 1);
    EXPECT_EQ(log.count("loadBzstString: Aiming: 90 160 80 0 0\n"), 1);
    EXPECT_EQ(log.count("loadBzstString: bzst string read successfully.\n"), 1);
}

TEST(Bzst, RoundTripOfARackAndOfAPositionAfterAShot) {
    srand48(99);
    Table table;
    table.setupBalls(table.status);
    table.balls[BALL_WHITE].orientation.rotate(71, 0.6f, 0, 0.8f);
    expectRoundTrip(table);

    // A hard shot into the rack, then two balls put into pocket 0 and one into pocket 5 by hand.
    placeBall(table, BALL_WHITE, 1000, 200);
    const Ball& target = table.balls[16];
    table.applyStroke(BALL_WHITE, true, nullptr,
                      std::atan2(target.z - 200, target.x - 1000) * 180 / 3.14159265358979323846, 0, 0, 0, 400, 1);
    ShotStepper stepper(table);
    ASSERT_TRUE(runShot(stepper).cameToRest);
    auto pot = [&](int id, int pocket, double y) {
        Ball& b = table.balls[id];
        b.onTable = false;
        b.pocket = pocket;
        b.x = pocketCentres[pocket][0] + 3.25;
        b.z = pocketCentres[pocket][1] - 0.5;
        b.y = y;
    };
    pot(BALL_WHITE, 0, -210.5);  // the cue ball too: its group carries the orientation
    pot(BALL_PINK, 0, -260.125);
    pot(BALL_BLACK, 5, -230);
    expectRoundTrip(table);
    Table other;
    ASSERT_TRUE(loadBzstString(other.status, writeBzstString(table, 0, 0, 0, 0, 0)));
    EXPECT_EQ(other.balls[BALL_PINK].pocket, 0);
    EXPECT_FALSE(other.balls[BALL_PINK].onTable);
    EXPECT_EQ(other.balls[BALL_PINK].y, -260.125);
    EXPECT_EQ(other.balls[BALL_WHITE].pocket, 0);
}

TEST(Bzst, PocketZeroTextReadsBackAndBedGroupsStayAsTheyWere) {
    Table table;
    // As the writer puts it: P 0 then x, y and z.
    ASSERT_TRUE(loadBzstString(table.status, "v 1 t 2 c b 7 0 -1790 -250 -895 b 8 0 5 6 e"));
    EXPECT_EQ(table.balls[7].pocket, 0);
    EXPECT_FALSE(table.balls[7].onTable);
    EXPECT_EQ(table.balls[7].y, -250);
    EXPECT_EQ(table.balls[7].z, -895);
    EXPECT_TRUE(table.balls[8].onTable);
    EXPECT_EQ(table.balls[8].z, 6);
    ASSERT_TRUE(loadBzstString(table.status, "v 1 t 2 c b 0 0 -1790 -250 -895 1 0 0 0 a 1 2 3 4 5 e"));
    EXPECT_EQ(table.balls[0].pocket, 0);
    EXPECT_EQ(table.balls[0].z, -895);
    ASSERT_TRUE(loadBzstString(table.status, "v 1 t 2 c b 0 0 5 6 1 0 0 0 b 3 0 1 2 e"));
    EXPECT_TRUE(table.balls[0].onTable);
    EXPECT_EQ(table.balls[0].z, 6);
}

TEST(Bzst, EdgeCasesOfTheReader) {
    CapturedLog log;
    Table table;
    ASSERT_TRUE(loadBzstString(table.status, "v 1 t 2 c e"));
    for (int i = 0; i < kBallCount; ++i) expectParked(table, i);

    // A bad head changes nothing.
    table.balls[3].onTable = true;
    table.balls[3].x = 5;
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 x e"));
    EXPECT_EQ(log.count("ERROR: Invalid bzst string: v 1 t 2 x e"), 1);
    EXPECT_TRUE(table.balls[3].onTable);
    EXPECT_EQ(table.balls[3].x, 5);

    ASSERT_TRUE(loadBzstString(table.status, "v 1 t 2 p b 5 0 0 0 e"));
    EXPECT_TRUE(table.balls[5].onTable);
    EXPECT_EQ(table.balls[5].x, 0);
    EXPECT_EQ(table.balls[5].y, 26.25);
    for (int i = 0; i < kBallCount; ++i)
        if (i != 5) expectParked(table, i);

    ASSERT_TRUE(loadBzstString(table.status, "v 1\tt 2\nc b 10 2 5 -100 900 b 11 -1 7 8 e"));
    EXPECT_EQ(table.balls[10].pocket, 2);
    EXPECT_FALSE(table.balls[10].onTable);
    EXPECT_EQ(table.balls[10].y, -100);
    EXPECT_EQ(table.balls[11].pocket, -1);
    EXPECT_FALSE(table.balls[11].onTable);
    EXPECT_EQ(table.balls[11].y, 26.25);
    EXPECT_EQ(table.balls[11].z, 8);

    // A cue-ball group without its orientation takes the next tokens and fails on "b".
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 0 0 1 2 b 5 0 0 0 e"));
    // A bad body: the balls stay parked and partly filled.
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 5 0 1 2 x e"));
    EXPECT_TRUE(table.balls[5].onTable);
    expectParked(table, 6);
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 5 0 1 2"));
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 5 0 one 2 e"));
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 5 0 1 2 a 1 2 3 e"));
    EXPECT_EQ(log.count("ERROR"), 1);
}

TEST(Bzst, BallIdsAndPocketsOutsideTheTableAreRefused) {
    CapturedLog log;
    Table table;
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 25 0 1 2 e"));
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b -1 0 1 2 e"));
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 2147483647 0 1 2 e"));
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 10 6 1 -100 2 e"));
    EXPECT_FALSE(loadBzstString(table.status, "v 1 t 2 c b 10 99 1 -100 2 e"));
    EXPECT_EQ(log.count("loadBzstString: ERROR: Invalid ball index: 25"), 1);
    EXPECT_EQ(log.count("loadBzstString: ERROR: Invalid ball index: -1"), 1);
    EXPECT_EQ(log.count("loadBzstString: ERROR: Invalid ball index: 2147483647"), 1);
    EXPECT_EQ(log.count("loadBzstString: ERROR: Invalid pocket number: 6"), 1);
    EXPECT_EQ(log.count("loadBzstString: ERROR: Invalid pocket number: 99"), 1);
    EXPECT_EQ(table.balls[10].pocket, -1);

    LiveStatus noBalls;
    EXPECT_FALSE(loadBzstString(noBalls, "v 1 t 2 c e"));
}
