// Helpers shared by the physics tests: a captured log, an empty table, running a shot to rest.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/log.h"
#include "support/captured_log.h"
#include "physics/shot_stepper.h"
#include "physics/table.h"

namespace physics_test {

using bztest::CapturedLog;

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
