#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "physics/table.h"
#include "physics_test_util.h"

using namespace physics_test;

TEST(Table, NewTableDefaults) {
    Table table;
    int version = 0;
    EXPECT_EQ(table.getVersionAndType(version), 1);
    EXPECT_EQ(version, 2);
    EXPECT_EQ(table.params, findTableParams(2, 1));
    EXPECT_EQ(table.getPlayer(0), nullptr);
    EXPECT_EQ(table.getPlayer(1), nullptr);
    EXPECT_EQ(table.getPeopleCount(), 0);
    EXPECT_EQ(table.status.gameType, 1);
    EXPECT_EQ(table.status.bestOf, 3);
    EXPECT_EQ(table.status.maxShotTime, 90);
    EXPECT_EQ(table.status.maxPointsBehind, 10);
    EXPECT_EQ(table.status.negativePoints[0], 999999);
    EXPECT_EQ(table.status.negativePoints[1], 999999);
    EXPECT_EQ(table.status.concededBy, -1);
    EXPECT_EQ(table.status.balls, table.balls);

    const double spots[][2] = {{1755.625, -105}, {kNoSpot, kNoSpot}, {1047.5, -292}, {1047.5, 292}, {1047.5, 0},
                               {0, 0},           {-892.25, 0},       {-1460.5, 0},   {-446.125, 0}, {523.75, 0}};
    const char* names[] = {"White", "Ghost", "Yellow", "Green", "Brown", "Blue", "Pink", "Black", "Orange", "Purple"};
    const int values[] = {0, 0, 2, 3, 4, 5, 6, 7, 8, 10};
    for (int i = 0; i < BALL_FIRST_RED; ++i) {
        const Ball& b = table.balls[i];
        EXPECT_EQ(b.id, i);
        EXPECT_EQ(b.name, names[i]);
        EXPECT_EQ(b.value, values[i]);
        EXPECT_DOUBLE_EQ(b.spotX, spots[i][0]) << i;
        EXPECT_DOUBLE_EQ(b.spotZ, spots[i][1]) << i;
        if (i != BALL_GHOST && i != BALL_ORANGE && i != BALL_PURPLE) {
            EXPECT_TRUE(b.onTable);
            EXPECT_EQ(b.x, b.spotX);
            EXPECT_EQ(b.z, b.spotZ);
        }
        EXPECT_EQ(b.table, &table);
    }
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) {
        EXPECT_EQ(table.balls[i].name, "Red");
        EXPECT_EQ(table.balls[i].value, 1);
        EXPECT_EQ(table.balls[i].spotX, kNoSpot);
    }
    for (const Ball& b : table.balls) {
        EXPECT_EQ(b.y, 26.25);  // every field set, the height included
        EXPECT_EQ(b.pocketTime, 0);
        EXPECT_EQ(b.pocket, -1);
        EXPECT_FALSE(b.isMoving());
    }
    for (const Ball& saved : table.savedBalls) {
        EXPECT_FALSE(saved.onTable);
        EXPECT_EQ(saved.x, 9999.0);
        EXPECT_EQ(saved.z, 9999.0);
    }
    Ball plain;
    EXPECT_EQ(plain.table, nullptr);
    EXPECT_EQ(plain.spotX, -9999.0);
    EXPECT_EQ(plain.orientation.w, 1);
    EXPECT_FALSE(plain.advance(false, nullptr, nullptr, 0.001, 0));
}

TEST(Table, SeatsFollowRankAndLeaving) {
    Table table;
    Player five{"five", 0, 5}, alsoFive{"alsoFive", 0, 5}, seven{"seven", 0, 7};
    EXPECT_TRUE(table.addPlayer(&five));
    EXPECT_TRUE(table.addPlayer(&alsoFive));
    EXPECT_EQ(table.getPlayer(0), &alsoFive);  // newcomer of equal rank takes seat 0
    EXPECT_EQ(table.getPlayer(1), &five);
    EXPECT_FALSE(table.addPlayer(&seven));
    EXPECT_EQ(table.getPlayer(0), &alsoFive);
    EXPECT_TRUE(table.addPlayer(&five));  // already seated
    EXPECT_EQ(table.status.players[0], &alsoFive);
    EXPECT_EQ(table.status.players[1], &five);

    table.removePerson(&alsoFive);
    EXPECT_EQ(table.getPlayer(0), &five);
    EXPECT_EQ(table.getPlayer(1), nullptr);
    EXPECT_TRUE(table.addPlayer(&seven));
    EXPECT_EQ(table.getPlayer(1), &seven);  // higher rank number: seat 1
    table.removePerson(&seven);
    EXPECT_EQ(table.getPlayer(0), &five);
    EXPECT_EQ(table.getPlayer(1), nullptr);

    // Seat 0 empty, seat 1 taken: removing nobody (null) moves nobody.
    Table gap;
    EXPECT_TRUE(gap.setPlayer(1, &seven));
    gap.removePerson(nullptr);
    EXPECT_EQ(gap.getPlayer(0), nullptr);
    EXPECT_EQ(gap.getPlayer(1), &seven);
    EXPECT_EQ(gap.status.players[1], &seven);

    EXPECT_FALSE(table.setPlayer(2, &seven));
    EXPECT_EQ(table.getPlayer(-1), nullptr);
    table.status.gameState = 1;  // a frame in play keeps the status's players
    EXPECT_TRUE(table.setPlayer(1, &seven));
    EXPECT_EQ(table.getPlayer(1), &seven);
    EXPECT_EQ(table.status.players[1], nullptr);
}

TEST(Table, PeopleList) {
    Table table;
    std::vector<Player> crowd(52);
    for (int k = 0; k < 50; ++k) EXPECT_TRUE(table.addPerson(&crowd[k]));
    EXPECT_FALSE(table.addPerson(&crowd[50]));
    EXPECT_EQ(table.getPeopleCount(), 50);
    EXPECT_EQ(table.getPerson(50), nullptr);
    EXPECT_EQ(table.getPerson(-1), nullptr);

    Table other;
    Player a{"a"}, b{"b"}, c{"c"}, vip1{"v1", 0x40}, vip2{"v2", 0x40};
    for (Player* p : {&a, &b, &c, &vip1, &vip2}) other.insertPerson(p);
    other.insertPerson(&a);
    ASSERT_EQ(other.getPeopleCount(), 5);
    EXPECT_EQ(other.getPerson(0), &vip2);
    EXPECT_EQ(other.getPerson(1), &vip1);
    EXPECT_EQ(other.getPerson(2), &a);
    other.removePerson(&b);
    EXPECT_EQ(other.getPeopleCount(), 4);
    EXPECT_EQ(other.getPerson(3), &c);
    other.removePerson(&b);  // not listed: no change
    EXPECT_EQ(other.getPeopleCount(), 4);
}

namespace {

// Puts the balls into pocket 2 in the order given, the first deepest.
void fillPocket(Table& table, std::initializer_list<int> ids) {
    double y = -300;
    for (int id : ids) {
        Ball& b = table.balls[id];
        b.onTable = false;
        b.pocket = 2;
        b.x = 1700 + y;
        b.y = y;
        b.z = -900;
        y += 50;
    }
}

}  // namespace

TEST(Table, TakingABallMovesTheLaterOnesDown) {
    Table table;
    table.takeBallFromPocket(5);  // not in a pocket: nothing happens
    EXPECT_EQ(table.balls[5].x, 0);

    fillPocket(table, {10, 11, 12});
    EXPECT_EQ(table.countBallsInPocket(2, 26.25), 3);
    table.takeBallFromPocket(10);
    EXPECT_EQ(table.balls[10].pocket, -1);
    EXPECT_EQ(table.balls[10].y, -300);  // the caller places it
    EXPECT_EQ(table.balls[11].y, -300);
    EXPECT_EQ(table.balls[11].x, 1400);
    EXPECT_EQ(table.balls[12].y, -250);
    EXPECT_EQ(table.countBallsInPocket(2, 26.25), 2);
}

TEST(Table, LimitBallsInPockets) {
    Table table;
    fillPocket(table, {10, 11, 12});
    table.limitBallsInPockets();
    EXPECT_EQ(table.countBallsInPocket(2, 26.25), 3);

    Table full;
    fillPocket(full, {10, 11, 12, 13});
    full.limitBallsInPockets();
    EXPECT_EQ(full.countBallsInPocket(2, 26.25), 1);
    EXPECT_EQ(full.balls[13].pocket, 2);  // the last to fall, now deepest
    EXPECT_EQ(full.balls[13].y, -300);
}

TEST(Table, BadBallIdsAndPocketsAreRefusedWithOneError) {
    CapturedLog log;
    Table table;
    table.takeBallFromPocket(25);
    table.takeBallFromPocket(-1);
    EXPECT_EQ(table.countBallsInPocket(-1, 1e9), 0);
    EXPECT_EQ(table.countBallsInPocket(6, 1e9), 0);
    double earliest = 1;
    int flag = 0;
    EXPECT_FALSE(table.balls[0].timeToPocketEntry(6, earliest, nullptr, nullptr, flag));
    double angle;
    EXPECT_FALSE(table.balls[0].timeToPocketArcContact(24, earliest, nullptr, nullptr, angle));
    EXPECT_EQ(log.count("ERROR: Invalid ball index: 25"), 1);
    EXPECT_EQ(log.count("ERROR: Invalid ball index: -1"), 1);
    EXPECT_EQ(log.count("ERROR: Invalid pocket number: -1"), 1);
    EXPECT_EQ(log.count("ERROR: Invalid pocket number: 6"), 2);
    EXPECT_EQ(log.count("ERROR: Invalid jaw arc: 24"), 1);

    // A pocket number a bad status left on a ball is never used as an index.
    table.balls[11].onTable = false;
    table.balls[11].pocket = 40;
    table.balls[11].y = -100;
    table.limitBallsInPockets();
    table.takeBallFromPocket(11);
    EXPECT_EQ(table.balls[11].pocket, -1);
}

TEST(Table, ChangeTableTypeBuildsGeometry) {
    CapturedLog log;
    Table table;
    const PocketArc& arc0 = table.pocketArcs[0];
    EXPECT_NEAR(arc0.x, -1860.70, 0.005);
    EXPECT_NEAR(arc0.z, -794.71, 0.005);
    EXPECT_EQ(arc0.radius, 76.2);
    EXPECT_NEAR(arc0.minAngle * 180 / std::numbers::pi, -28.6, 0.05);
    EXPECT_EQ(arc0.maxAngle, 0);
    const PocketArc& arc4 = table.pocketArcs[4];
    EXPECT_NEAR(arc4.x, -113.34, 1e-9);
    EXPECT_NEAR(arc4.z, -968.38, 0.005);
    EXPECT_NEAR(arc4.minAngle * 180 / std::numbers::pi, 45.4, 0.05);
    EXPECT_NEAR(arc4.maxAngle * 180 / std::numbers::pi, 90, 1e-9);
    EXPECT_NEAR(table.pocketCircles[3].x, 1832.13, 1e-9);
    EXPECT_NEAR(table.pocketCircles[4].z, 944.55 - 3.96, 1e-9);
    EXPECT_EQ(table.pocketCircles[1].radius, 54.19);

    auto arcs = table.pocketArcs;
    auto circles = table.pocketCircles;
    EXPECT_FALSE(changeTableType(table, 2, 3));
    EXPECT_EQ(log.count("ERROR: Unsupported table version or type"), 1);
    EXPECT_EQ(table.version, 2);
    EXPECT_EQ(table.tableType, 1);
    EXPECT_EQ(table.params, findTableParams(2, 1));
    EXPECT_EQ(std::memcmp(&arcs, &table.pocketArcs, sizeof arcs), 0);

    EXPECT_TRUE(changeTableType(table, 2, 1));
    EXPECT_EQ(std::memcmp(&arcs, &table.pocketArcs, sizeof arcs), 0);
    EXPECT_EQ(std::memcmp(&circles, &table.pocketCircles, sizeof circles), 0);
    EXPECT_EQ(log.count("version=2 tableType=1"), 2);
    EXPECT_EQ(log.count("setupCushionAndPocketArcs() done!"), 2);  // with the constructor's

    visualSpinFactor = 3;
    table.setTableType(2, 2);
    EXPECT_EQ(visualSpinFactor, 0.5);
    EXPECT_EQ(table.tableType, 2);
    EXPECT_LT(table.pocketArcs[0].z, arcs[0].z);  // smaller [81] on type 2
    EXPECT_EQ(table.pocketCircles[1].radius, 53.19);
}
