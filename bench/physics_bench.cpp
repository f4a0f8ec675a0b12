// A hard break-off into the full rack, simulated to rest frame by frame as the game does it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "physics/shot_stepper.h"
#include "physics/table.h"

namespace {

void setUpBreak(Table& table) {
    srand48(20240611);
    table.setupBalls(table.status);
    for (Ball& b : table.balls) b.resetForStroke();
    Ball& cue = table.balls[BALL_WHITE];
    cue.x = 1000;
    cue.z = 200;
    const Ball& target = table.balls[16];
    double dx = target.x - cue.x, dz = target.z - cue.z, n = std::hypot(dx, dz);
    double speed = 0.8 * (*table.params)[11];
    cue.vx = speed * dx / n;
    cue.vz = speed * dz / n;
}

void BM_BreakOffToRest(benchmark::State& state) {
    Table table;
    table.setTableType(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    ShotStepper stepper(table);
    double simulated = 0;
    long subSteps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setUpBreak(table);
        state.ResumeTiming();
        stepper.start();
        while (stepper.ballsMoving() || stepper.ballsFalling()) stepper.stepFrame(1.0 / 60);
        simulated += stepper.simulationTime();
        subSteps += stepper.subStepsRun();
        stepper.stop();
    }
    state.counters["wall_s_per_shot"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["simulated_s_per_wall_s"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
    state.counters["sub_steps_per_shot"] =
        benchmark::Counter(static_cast<double>(subSteps), benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_BreakOffToRest)->Args({1, 1})->Args({1, 2})->Args({2, 1})->Args({2, 2})->Unit(benchmark::kMillisecond);
