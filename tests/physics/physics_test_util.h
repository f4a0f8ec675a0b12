// Helpers shared by the physics tests: a captured log, an empty table, running a shot to rest.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/log.h"
#include "physics/shot_stepper.h"
#include "physics/table.h"

namespace physics_test {

// Captures the log of one test in a temporary folder.
class CapturedLog {
public:
    CapturedLog() {
        dir_ = std::filesystem::temp_directory_path() /
               ("bzphysics-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        resetLogForTests();
        initLog(dir_.string() + "/");
        enableLog();
    }
    ~CapturedLog() {
        resetLogForTests();
        std::filesystem::remove_all(dir_);
    }
    std::string text() const {
        std::ifstream in(dir_ / "bzlog.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int count(const std::string& needle) const {
        std::string all = text();
        int n = 0;
        for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1)) ++n;
        return n;
    }

private:
    std::filesystem::path dir_;
};

// Every ball off the table and still, so a test places only the balls it needs.
inline void clearTable(Table& table) {
    for (Ball& b : table.balls) {
        b.onTable = false;
        b.fallingInPocket = false;
        b.pocket = -1;
        b.x = b.z = 9999.0;
        b.y = (*table.params)[48];
        b.resetForStroke();
    }
}

inline Ball& placeBall(Table& table, int id, double x, double z) {
    Ball& b = table.balls[id];
    b.onTable = true;
    b.pocket = -1;
    b.fallingInPocket = false;
    b.x = x;
    b.z = z;
    b.y = (*table.params)[48];
    return b;
}

inline void setRolling(Ball& b, double vx, double vz) {
    b.vx = b.rollVx = vx;
    b.vz = b.rollVz = vz;
}

struct ShotResult {
    int frames = 0;
    long subSteps = 0;
    int maxSubStepsInFrame = 0;
    double simulatedSeconds = 0;
    bool cameToRest = false;
};

// Runs 60 Hz frames until no ball moves or falls, or maxSeconds of simulation have passed.
inline ShotResult runShot(ShotStepper& stepper, double maxSeconds = 120,
                          std::vector<MotionEvent>* events = nullptr) {
    ShotResult r;
    stepper.start();
    while (stepper.simulationTime() < maxSeconds) {
        int steps = stepper.stepFrame(1.0 / 60, 1.0, events);
        ++r.frames;
        r.maxSubStepsInFrame = std::max(r.maxSubStepsInFrame, steps);
        if (!stepper.ballsMoving() && !stepper.ballsFalling()) {
            r.cameToRest = true;
            break;
        }
    }
    r.subSteps = stepper.subStepsRun();
    r.simulatedSeconds = stepper.simulationTime();
    stepper.stop();
    return r;
}

}  // namespace physics_test
