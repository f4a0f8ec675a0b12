// Loading and cutting every sound of the archive the build packed, the per-frame cost of the bank's
// update and of starting an announcement, on SDL's dummy audio driver.
#include "audio/game_sound_bank.h"
#include "core/archive.h"

#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

// The archive lies in <build>/app/res beside the client; this benchmark runs from <build>/bench.
void useBuiltArchive() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const auto app = std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "app";
    ArchiveIndex::instance().setBaseFolder(app.string() + "/");
}

void BM_LoadAndCutAllSounds(benchmark::State& state) {
    useBuiltArchive();
    // The device is opened and closed outside the timing: only reading, decoding and cutting count.
    for (auto _ : state) {
        state.PauseTiming();
        auto bank = std::make_unique<GameSoundBank>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(bank->loadSounds());
        state.PauseTiming();
        if (bank->loadedClipCount != 24 + SOUND_REFEREE_CLIPS) state.SkipWithError("the sounds did not load");
        // What the sounds hold: as kept, and what every clip would take in the device format.
        double deviceFormat = 0;
        for (int clip = 0; clip < bank->engine().clipCount(); ++clip) deviceFormat += bank->engine().clipByteSize(clip);
        state.counters["stored_MiB"] = double(bank->engine().storedBytes()) / (1 << 20);
        state.counters["device_format_MiB"] = deviceFormat / (1 << 20);
        bank.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAndCutAllSounds)->Unit(benchmark::kMillisecond)->Iterations(3);

// A frame's update with announcements waiting behind one that plays (the common busy case).
void BM_SoundBankUpdate(benchmark::State& state) {
    useBuiltArchive();
    GameSoundBank bank;
    bank.loadSounds();
    for (int k = 0; k < 8; ++k) bank.playRefereeSound(bank.refereeClip(k), 1.0f);
    for (auto _ : state) bank.update();
    Mix_HaltChannel(-1);
}
BENCHMARK(BM_SoundBankUpdate);

// What starting an announcement costs the frame: its stretch read from the archive and turned into
// the device format (the referee's speech is not held in memory).
void BM_AnnouncementSamples(benchmark::State& state) {
    useBuiltArchive();
    GameSoundBank bank;
    bank.loadSounds();
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bank.engine().clipSamples(bank.refereeClip(k)));
        k = (k + 37) % SOUND_REFEREE_CLIPS;
    }
}
BENCHMARK(BM_AnnouncementSamples)->Unit(benchmark::kMicrosecond);

}  // namespace
