// Plays, on every table version and type, a set of break-offs from the racked table and a chain of
// random strokes (with the random aim error, from a fixed seed) to rest, and prints one digest per
// stroke of every ball's end state and of the sounds the stroke made. Built for several processors,
// optimisation levels and compilers and run at several frame rates; all outputs and the recorded
// one must agree byte for byte, or two clients at one table would see different tables.
//
// Usage: bz_stroke_fingerprint [frame seconds, comma separated, used in turn] [strokes per table]
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "physics/det_math.h"
#include "physics/shot_stepper.h"
#include "physics/table.h"

namespace {

uint64_t bitsOf(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct Digest {
    uint64_t h = 1469598103934665603ull;
    void mix(uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    }
    void mix(double v) { mix(bitsOf(v)); }
};

// Everything the physics keeps of a ball between strokes; the drawn orientation is left out (it is
// drawn only, and turned with the C library's float functions).
void mixTable(Digest& d, const Table& table) {
    for (const Ball& b : table.balls) {
        for (double v : {b.x, b.y, b.z, b.vx, b.vz, b.rollVx, b.rollVz, b.spinY, b.accelX, b.accelZ, b.pocketTime,
                         b.distanceTravelled, b.lastContactX, b.lastContactZ, b.lastContactTime, b.throwFactor})
            d.mix(v);
        d.mix(static_cast<uint64_t>(b.onTable) | static_cast<uint64_t>(b.fallingInPocket) << 1 |
              static_cast<uint64_t>(b.contactPending) << 2 | static_cast<uint64_t>(b.pocket + 1) << 8);
    }
}

void mixEvents(Digest& d, const std::vector<MotionEvent>& events) {
    for (const MotionEvent& e : events) {
        d.mix(static_cast<uint64_t>(e.kind) | static_cast<uint64_t>(e.ball + 1) << 8 |
              static_cast<uint64_t>(e.pocket + 1) << 16 | static_cast<uint64_t>(e.speedClass) << 24);
        d.mix(e.volume);
        d.mix(e.x);
        d.mix(e.z);
    }
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

struct Runner {
    Table& table;
    ShotStepper stepper;
    std::vector<double> frames;
    size_t nextFrame = 0;

    // Plays the stroke to rest, the frame lengths taken in turn, and returns its digest.
    uint64_t play(double angle, double top, double side, double elevation, double power) {
        table.applyStroke(BALL_WHITE, false, nullptr, angle, top, side, elevation, power, 1.0);
        std::vector<MotionEvent> events;
        stepper.start();
        while ((stepper.ballsMoving() || stepper.ballsFalling()) && stepper.simulationTime() < 120) {
            stepper.stepFrame(frames[nextFrame], 1.0, &events);
            nextFrame = (nextFrame + 1) % frames.size();
        }
        stepper.stop();
        Digest d;
        mixTable(d, table);
        mixEvents(d, events);
        return d.h;
    }
};

constexpr double kDegrees = 180 / 3.141592653589793;

}  // namespace

int main(int argc, char** argv) {
    std::vector<double> frames;
    for (const char* s = argc > 1 ? argv[1] : "0.016666666666666666"; *s;) {
        char* end = nullptr;
        frames.push_back(std::strtod(s, &end));
        if (end == s || !(frames.back() > 0)) {
            std::fprintf(stderr, "bad frame length list: %s\n", argv[1]);
            return 2;
        }
        s = *end == ',' ? end + 1 : end;
    }
    const int strokes = argc > 2 ? std::atoi(argv[2]) : 210;

    const int kinds[4][2] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};
    for (const auto& kind : kinds) {
        Table table;
        table.setTableType(kind[0], kind[1]);
        Runner run{table, ShotStepper(table), frames};
        srand48(20261209 + kind[0] * 10 + kind[1]);

        // Break-offs across the D, at the rack's back and sides, soft and hard, with and without spin.
        const double spots[7] = {-250, -160, -80, 0, 80, 160, 250};
        const double offsets[3] = {-1.2, 0.0, 0.9};
        const double powers[3] = {330, 250, 180};
        const double tops[3] = {0, 60, -40};
        const double sides[3] = {0, -30, 45};
        int n = 0;
        for (double spotZ : spots) {
            for (int k = 0; k < 3; ++k, ++n) {
                table.setupBalls(table.status);
                Ball& cue = table.balls[BALL_WHITE];
                cue.x = 1047.75;
                cue.z = spotZ;
                const Ball& apex = table.balls[BALL_FIRST_RED];
                const double angle =
                    detmath::atan2(apex.z - cue.z, apex.x - cue.x) * kDegrees + offsets[(k + n) % 3];
                const uint64_t h = run.play(angle, tops[k], sides[(k + n) % 3], k == 2 ? 8 : 0, powers[k]);
                std::printf("%d.%d break %d %016" PRIx64 "\n", kind[0], kind[1], n, h);
            }
        }

        // A chain of strokes from the first break-off; a simple integer generator gives the same
        // aims on every build.
        table.setupBalls(table.status);
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
            const uint64_t h = run.play(angle, top, side, elevation, power);
            std::printf("%d.%d stroke %d %016" PRIx64 "\n", kind[0], kind[1], s, h);
        }
        for (const Ball& b : table.balls)
            std::printf("%d.%d ball %d %a %a %a %d\n", kind[0], kind[1], b.id, b.x, b.y, b.z, b.onTable ? 1 : 0);
    }
    return 0;
}
