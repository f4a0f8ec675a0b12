// Plays a break-off and a chain of strokes (with the random aim error, from a fixed seed) to rest and
// prints every ball's final place as exact hexadecimal doubles, one line per stroke. Built once for
// the baseline processor and once with fused multiply-add available; the two outputs and the
// recorded one must agree byte for byte, or two clients at one table would see different tables.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "physics/shot_stepper.h"
#include "physics/table.h"

namespace {

uint64_t bitsOf(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Folds every ball's place and state into one number, so a line stays short.
uint64_t tableHash(const Table& table) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    for (const Ball& b : table.balls) {
        mix(bitsOf(b.x));
        mix(bitsOf(b.y));
        mix(bitsOf(b.z));
        mix(static_cast<uint64_t>(b.onTable) | static_cast<uint64_t>(b.pocket + 1) << 8);
    }
    return h;
}

// A cue ball that went down comes back in the D's middle.
void respotCueBall(Table& table) {
    Ball& cue = table.balls[BALL_WHITE];
    if (cue.onTable) return;
    table.takeBallFromPocket(BALL_WHITE);
    cue.onTable = true;
    cue.fallingInPocket = false;
    cue.pocket = -1;
    cue.x = 1047.75;
    cue.z = 0;
    cue.y = (*table.params)[48];
}

}  // namespace

int main(int argc, char** argv) {
    const int strokes = argc > 1 ? std::atoi(argv[1]) : 200;
    srand48(20261209);
    Table table;
    table.setupBalls(table.status);
    ShotStepper stepper(table);
    // A simple integer generator for the aims: the same sequence on every build.
    uint32_t state = 2463534242u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int s = 0; s < strokes; ++s) {
        respotCueBall(table);
        const double angle = s == 0 ? 178.5 : static_cast<double>(next() % 36000) / 100.0 - 179.99;
        const double power = s == 0 ? 330.0 : 40.0 + static_cast<double>(next() % 300);
        const double top = static_cast<double>(next() % 201) - 100.0;
        const double side = static_cast<double>(next() % 121) - 60.0;
        const double elevation = static_cast<double>(next() % 20);
        table.applyStroke(BALL_WHITE, false, nullptr, angle, top, side, elevation, power, 1.0);
        stepper.start();
        int frames = 0;
        while ((stepper.ballsMoving() || stepper.ballsFalling()) && frames < 60 * 120) {
            stepper.stepFrame(1.0 / 60);
            ++frames;
        }
        stepper.stop();
        std::printf("%d %016" PRIx64 "\n", s, tableHash(table));
    }
    for (const Ball& b : table.balls) std::printf("%d %a %a %a %d\n", b.id, b.x, b.y, b.z, b.onTable ? 1 : 0);
    return 0;
}
