// A full frame's replay text of about 100 shots: reading it, and loading any of its shots.
#include <benchmark/benchmark.h>

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/replay_text.h"

#include <cstdlib>
#include <string>

namespace {

// A generated frame: per shot live aiming every 250 ms for 3 s, a nomination, the stroke, and the
// new position of all balls after it, then the status record.
std::string frameText(int shots) {
    const std::string status =
        "{ 0 60 1 -1 -1 0 0 12 4 0 0 5 1 2 3 4 5 6 7 8 9 10 0 0 0 0 1 0 -1 1 -1 0 0 0 0 0 0 0 0 0 -1 -1 } ";
    std::string t = "v 1 t 2 s p Ann Bob i 2023-01-05 20:00 x 7 1 3 60 0 0 0 cue 0 3 cue 1 5 ";
    srand48(7);
    int at = 0;
    auto positions = [&] {
        std::string p = "z b 0 0 " + std::to_string(-1000 + drand48() * 500) + " 10 1 0 0 0 ";
        for (int b = 2; b < 25; ++b)
            if (b != 8 && b != 9)
                p += "b " + std::to_string(b) + " 0 " + std::to_string(drand48() * 3000 - 1500) + " " +
                     std::to_string(drand48() * 1600 - 800) + " ";
        return p;
    };
    t += positions() + status;
    for (int i = 0; i < shots; ++i) {
        at += 500;
        t += "T " + std::to_string(at) + " as 0 " + std::to_string(drand48() * 360) + " 100 0 0 0 ";
        for (int k = 0; k < 12; ++k) {
            at += 250;
            t += "T " + std::to_string(at) + " ad 0 " + std::to_string(drand48() * 360) + " 120 10 0 0 ";
        }
        at += 300;
        t += "T " + std::to_string(at) + " af 0 91.5 150 20 0 0 n 5 T " + std::to_string(at + 2) +
             " s 0 91.5 150 20 0 0 ";
        at += 6000;
        t += "T " + std::to_string(at) + " " + positions() + status;
    }
    return t;
}

void BM_ParseFrame(benchmark::State& state) {
    const std::string text = frameText(static_cast<int>(state.range(0)));
    size_t shots = 0;
    for (auto _ : state) {
        ReplayParse parsed;
        parseReplayText(text, 400, parsed);
        shots = parsed.shots.size();
        benchmark::DoNotOptimize(parsed);
    }
    state.counters["shots"] = static_cast<double>(shots);
    state.counters["text_kib"] = static_cast<double>(text.size()) / 1024;
}
BENCHMARK(BM_ParseFrame)->Arg(100)->Unit(benchmark::kMillisecond);

// Seeking: loading the position before each shot in turn (the replay buttons' jump).
void BM_SeekEveryShot(benchmark::State& state) {
    GameHandler& gh = *new GameHandler();  // kept: the handler is a process-wide object
    ReplayParse parsed;
    parseReplayText(frameText(100), 400, parsed);
    gh.replayShots = parsed.shots;
    const int n = static_cast<int>(gh.replayShots.size());
    int shot = 1;
    for (auto _ : state) {
        gh.replayShotIndex = shot;
        gh.loadReplayShot(false);
        shot = shot + 1 < n ? shot + 1 : 1;
    }
}
BENCHMARK(BM_SeekEveryShot)->Unit(benchmark::kMicrosecond);

}  // namespace
