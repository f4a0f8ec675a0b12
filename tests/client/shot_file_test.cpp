// Shot files: choosing among the "*.bzs" files of the working directory and restoring the record.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/shot_file.h"
#include "support/captured_log.h"
#include "support/shot_file_bytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using bztest::ShotBall;
using bztest::ShotFileBytes;

class ShotFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("bz-shots-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
        gh_.aim = {};
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    // Three files whose cue balls stand at x = 1, 2, 3.
    void writeThree() {
        for (int i = 1; i <= 3; ++i) {
            ShotFileBytes file;
            ShotBall cue;
            cue.onTable = true;
            cue.x = i;
            file.setBall(0, cue);
            file.write("shot" + std::to_string(i) + ".bzs");
        }
    }
    std::string load(const std::string& name, int direction) { return loadShotFile(gh_, name, direction, report_); }

    fs::path dir_, previous_;
    GameHandler gh_;
    std::ostringstream report_;
};

TEST_F(ShotFileTest, ChoosesByNameAndDirection) {
    writeThree();
    std::ofstream("notes.txt") << "not a shot";
    const struct {
        const char* name;
        int direction;
        const char* loaded;
    } cases[] = {
        {"", 0, "shot3.bzs"},          {"other.bzs", 0, "shot3.bzs"}, {"shot2.bzs", 0, "shot2.bzs"},
        {"shot2.bzs", -1, "shot1.bzs"}, {"shot2.bzs", 5, "shot3.bzs"}, {"shot1.bzs", -1, ""},
        {"shot3.bzs", 1, ""},           {"shot2", 0, "shot3.bzs"},
    };
    for (const auto& c : cases) {
        gh_.table.balls[0].x = -7;
        EXPECT_EQ(load(c.name, c.direction), c.loaded) << c.name << " " << c.direction;
        const std::string loaded = c.loaded;
        const double expectedX = loaded.empty() ? -7 : loaded[4] - '0';
        EXPECT_EQ(gh_.table.balls[0].x, expectedX) << c.name << " " << c.direction;
    }
}

TEST_F(ShotFileTest, RestoresBallsAndAim) {
    ShotFileBytes file;
    ShotBall blue;
    blue.id = 5;
    blue.onTable = true;
    blue.x = 12.5;
    blue.z = -3.25;
    blue.pocketTime = 1.5;
    blue.motion = {1, 2, 3, 4, 5, 6, 7};
    blue.orientation = {0.5f, 0.5f, -0.5f, 0.5f};
    file.setBall(5, blue);
    ShotBall wrongId;
    wrongId.id = 99;
    file.setBall(6, wrongId);
    file.setAim(123.25, 250, -40, 12, 7.5);
    file.write("a.bzs");

    ASSERT_EQ(load("a.bzs", 0), "a.bzs");
    const Ball& b = gh_.table.balls[5];
    EXPECT_TRUE(b.onTable);
    EXPECT_EQ(b.x, 12.5);
    EXPECT_EQ(b.z, -3.25);
    EXPECT_EQ(b.pocketTime, 1.5);
    EXPECT_EQ(b.vx, 1);
    EXPECT_EQ(b.spinY, 5);
    EXPECT_EQ(b.accelZ, 7);
    EXPECT_EQ(b.orientation.y, -0.5f);
    EXPECT_EQ(gh_.aim, (AimParameters{123.25, 250, -40, 12, 7.5}));
    // The mismatch is reported and the record applied all the same.
    EXPECT_NE(report_.str().find("ID mismatch: loaded id=99, expected id=6\n"), std::string::npos);
    EXPECT_NE(report_.str().find("Restoring ball: id=5: x=12.5: z=-3.25\n"), std::string::npos);
    EXPECT_FALSE(gh_.table.balls[6].onTable);
}

TEST_F(ShotFileTest, PocketedBallsLieOnTheRunOffOrLoseTheirPocket) {
    ShotFileBytes file;
    ShotBall onRunOff;  // 100 mm along the run-off of pocket 2
    onRunOff.id = 10;
    onRunOff.pocket = 2;
    onRunOff.x = pocketCentres[2][0] - 100;
    onRunOff.z = pocketCentres[2][1];
    file.setBall(10, onRunOff);
    ShotBall offLine = onRunOff;  // a millimetre beside the run-off
    offLine.id = 11;
    offLine.z += 1.0;
    file.setBall(11, offLine);
    ShotBall badPocket = onRunOff;  // a pocket number no table has
    badPocket.id = 12;
    badPocket.pocket = 40;
    file.setBall(12, badPocket);
    ShotBall negativePocket = onRunOff;
    negativePocket.id = 13;
    negativePocket.pocket = -3;
    file.setBall(13, negativePocket);
    file.write("p.bzs");

    const double before = gh_.table.balls[11].y;
    ASSERT_EQ(load("p.bzs", 0), "p.bzs");
    EXPECT_EQ(gh_.table.balls[10].pocket, 2);
    EXPECT_DOUBLE_EQ(gh_.table.balls[10].y, -209.75 - 28.0 * 100 / 241);
    EXPECT_EQ(gh_.table.balls[11].pocket, -1);
    EXPECT_EQ(gh_.table.balls[11].y, before);
    EXPECT_EQ(gh_.table.balls[12].pocket, -1);
    EXPECT_EQ(gh_.table.balls[13].pocket, -1);
}

TEST_F(ShotFileTest, WrongSizesAndNonFiniteNumbersRefuseTheWholeFile) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        size_t size;
        size_t offset;  // where a non-finite number goes; 0: none
        bool isFloat;
        double value;
    } cases[] = {
        {"2839 bytes", 2839, 0, false, 0},
        {"2841 bytes", 2841, 0, false, 0},
        {"empty", 0, 0, false, 0},
        {"NaN x of the last ball", 2840, 24 * 112 + 24, false, nan},
        {"infinite pocketing time", 2840, 3 * 112 + 16, false, -inf},
        {"NaN motion value", 2840, 9 * 112 + 88, false, nan},
        {"infinite orientation", 2840, 5 * 112 + 108, true, inf},
        {"NaN elevation", 2840, 2832, false, nan},
    };
    for (const auto& c : cases) {
        bztest::CapturedLog log;
        ShotFileBytes file;
        file.setAim(50, 1, 2, 3, 4);
        if (c.offset != 0 && c.isFloat) file.setAt(c.offset, static_cast<float>(c.value));
        if (c.offset != 0 && !c.isFloat) file.setAt(c.offset, c.value);
        file.write("bad.bzs", c.size);
        gh_.table.balls[0].x = -7;
        gh_.table.balls[24].x = -8;
        report_.str("");

        EXPECT_EQ(load("bad.bzs", 0), "") << c.what;
        EXPECT_EQ(gh_.table.balls[0].x, -7) << c.what;  // nothing applied before the fault was seen
        EXPECT_EQ(gh_.table.balls[24].x, -8) << c.what;
        EXPECT_EQ(gh_.aim, AimParameters{}) << c.what;
        EXPECT_EQ(report_.str(), "") << c.what;
        EXPECT_EQ(log.count("ERROR"), 1) << c.what;
    }
}

}  // namespace
