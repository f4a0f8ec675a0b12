// What aiming and a stroke cost the game controller: the whole aim prediction of one frame, and a
// break-off stepped to rest frame by frame as the main loop does it.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "client/gamehandler/game_handler.h"

namespace {

void setUpRack(GameHandler& gh) {
    srand48(20261209);
    gh.table.setupBalls(gh.table.status);
    gh.aimBallIndex = 0;
    gh.aim = AimParameters{178.0, 330, 20, -15, 0};
}

// The prediction, error margins and elevation rise as one aiming move asks for them; the angle
// sweeps so that hits, misses and cuts all occur.
void BM_AimPredictionPerFrame(benchmark::State& state) {
    GameHandler gh;
    setUpRack(gh);
    double angle = 150;
    for (auto _ : state) {
        gh.aim.aimAngle = angle;
        gh.updateAim(0);
        benchmark::DoNotOptimize(gh.aimError);
        angle += 0.37;
        if (angle > 210) angle = 150;
    }
}

// A break-off from the received stroke to rest at 60 frames per second through updateShot.
void BM_StrokeToRest(benchmark::State& state) {
    GameHandler gh;
    double simulated = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setUpRack(gh);
        state.ResumeTiming();
        gh.playReceivedStroke(0, 178.0, 330, 20, -15, 0);
        gh.averageFrameMicros = 16667;
        while (gh.isAnyBallMoving()) gh.updateShot();
        simulated += gh.shotStepper.simulationTime();
    }
    state.counters["simulated_s_per_wall_s"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_AimPredictionPerFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokeToRest)->Unit(benchmark::kMillisecond);
