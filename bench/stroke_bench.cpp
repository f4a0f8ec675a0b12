// First-ball-hit prediction, which the aiming code runs every frame while the player aims.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "physics/table.h"

namespace {

// The start view with the cue ball in the D; the aim sweeps across the rack.
void BM_PredictFirstBallHit(benchmark::State& state) {
    srand48(20240611);
    Table table;
    table.setupBalls(table.status);
    Ball& cue = table.balls[BALL_WHITE];
    cue.onTable = true;
    cue.x = 1100;
    cue.z = 150;
    FirstBallHit hit;
    double aim = 170;
    int hits = 0;
    for (auto _ : state) {
        hits += table.predictFirstBallHit(BALL_WHITE, aim, 5, &hit) >= 0;
        benchmark::DoNotOptimize(hit);
        aim += 0.01;
        if (aim > 190) aim = 170;
    }
    state.counters["hit_share"] = benchmark::Counter(hits, benchmark::Counter::kAvgIterations);
}

// The cue's clearance over its 81 tip offsets, the larger part of each prediction.
void BM_CueBlockedFraction(benchmark::State& state) {
    srand48(20240611);
    Table table;
    table.setupBalls(table.status);
    double aim = 170;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.cueBlockedFraction(BALL_WHITE, aim));
        aim += 0.01;
        if (aim > 190) aim = 170;
    }
}

}  // namespace

BENCHMARK(BM_PredictFirstBallHit);
BENCHMARK(BM_CueBlockedFraction);
