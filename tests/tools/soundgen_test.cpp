// The sound bank's generated sounds: the referee's cut table and file, the single sounds as the
// mixer loads them from the built archive, the generator's repeatability, and a few measures of
// how the ball sounds sound.
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/archive.h"
#include "sounds/referee_cut_table.h"
#include "tools/soundgen/effects.h"
#include "tools/soundgen/referee.h"
#include "tools/soundgen/speech.h"
#include "tools/soundgen/synth.h"
#include "tools/soundgen/wav.h"

using namespace soundgen;

namespace {

const std::filesystem::path kSounds = BZ_GENERATED_SOUNDS;

Pcm loadPcm(const std::string& file) {
    std::string bytes, error;
    Pcm pcm;
    EXPECT_TRUE(readFile((kSounds / file).string(), bytes)) << file;
    EXPECT_TRUE(parseWav(bytes, pcm, error)) << file << ": " << error;
    return pcm;
}

std::vector<float> floats(const Pcm& pcm) {
    std::vector<float> out;
    for (int16_t v : pcm.samples) out.push_back(float(v) / 32768.0f);
    return out;
}

double peakOf(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
    double peak = 0;
    for (size_t i = from; i < std::min(to, x.size()); ++i) peak = std::max(peak, double(std::fabs(x[i])));
    return peak;
}

// Power-weighted mean frequency of the first 4096 samples (naive DFT; the sounds are short).
double spectralCentroid(const std::vector<float>& x, int rate) {
    const size_t n = std::min<size_t>(x.size(), 4096);
    double weighted = 0, total = 0;
    for (size_t bin = 1; bin < n / 2; ++bin) {
        double re = 0, im = 0;
        for (size_t i = 0; i < n; ++i) {
            const double angle = 2 * M_PI * double(bin * i) / double(n);
            re += x[i] * std::cos(angle);
            im -= x[i] * std::sin(angle);
        }
        const double power = re * re + im * im;
        weighted += power * double(bin) * rate / double(n);
        total += power;
    }
    return weighted / total;
}

// Seconds until the sound has fallen for good below -30 dB of its peak.
double ringSeconds(const std::vector<float>& x, int rate) {
    const double floor = peakOf(x) * 0.0316;
    size_t last = 0;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > floor) last = i;
    return double(last) / rate;
}

// Median fundamental of the voiced 30 ms frames, by normalised autocorrelation over 60-400 Hz.
double medianPitch(const std::vector<float>& x, int rate) {
    const size_t frame = size_t(rate * 0.03), hop = frame / 3;
    std::vector<double> pitches;
    for (size_t at = 0; at + frame + size_t(rate / 60) < x.size(); at += hop) {
        if (peakOf(x, at, at + frame) < 0.2) continue;
        double best = 0;
        int bestLag = 0;
        for (int lag = rate / 400; lag <= rate / 60; ++lag) {
            double r = 0, e0 = 0, e1 = 0;
            for (size_t i = 0; i < frame; ++i) {
                r += x[at + i] * x[at + i + lag];
                e0 += x[at + i] * x[at + i];
                e1 += x[at + i + lag] * x[at + i + lag];
            }
            const double c = r / std::sqrt(e0 * e1 + 1e-12);
            if (c > best) best = c, bestLag = lag;
        }
        if (best > 0.7) pitches.push_back(double(rate) / bestLag);
    }
    if (pitches.empty()) return 0;
    std::nth_element(pitches.begin(), pitches.begin() + long(pitches.size() / 2), pitches.end());
    return pitches[pitches.size() / 2];
}

}  // namespace

TEST(RefereeCutTable, HoldsTheGivenTimesAndEvenGaps) {
    const float first[] = {0, 1.13f, 1.86f, 2.62f, 3.43f, 4.17f, 5.25f, 6.34f, 7.14f, 8.03f, 8.88f, 9.76f};
    const float last[] = {367.4f, 368.65f, 369.83f, 370.98f, 372.2f, 373.25f, 374.46f, 375.57f};
    ASSERT_EQ(kRefereeCutTimes.size(), 360u);
    for (size_t i = 0; i < std::size(first); ++i) EXPECT_EQ(kRefereeCutTimes[i], first[i]) << i;
    for (size_t i = 0; i < std::size(last); ++i) EXPECT_EQ(kRefereeCutTimes[352 + i], last[i]) << i;
    for (size_t k = 1; k < kRefereeCutTimes.size(); ++k) {
        const float gap = kRefereeCutTimes[k] - kRefereeCutTimes[k - 1];
        EXPECT_GE(gap, 0.44f - 1e-4f) << k;
        EXPECT_LE(gap, 1.63f + 1e-4f) << k;
    }

    // The table written beside the sound file says the same.
    std::ifstream text(kSounds / "referee_cuts.txt");
    std::vector<float> written;
    for (float t; text >> t;) written.push_back(t);
    ASSERT_EQ(written.size(), 360u);
    for (size_t k = 0; k < written.size(); ++k) EXPECT_FLOAT_EQ(written[k], kRefereeCutTimes[k]) << k;
}

TEST(RefereeFile, EveryClipSpeaksInsideItsSlotAndEveryCutFallsInSilence) {
    const Pcm pcm = loadPcm("referee.wav");
    ASSERT_EQ(pcm.channels, 1);
    const std::vector<float> x = floats(pcm);
    const auto sampleAt = [&](double seconds) { return size_t(seconds * pcm.rate + 0.5); };
    ASSERT_GT(x.size(), sampleAt(kRefereeCutTimes.back() + 0.3));
    const size_t guard = sampleAt(0.02);
    for (size_t k = 0; k < kRefereeCutTimes.size(); ++k) {
        const size_t cut = sampleAt(kRefereeCutTimes[k]);
        EXPECT_LT(peakOf(x, cut > guard ? cut - guard : 0, cut + guard), 0.003) << "cut " << k;
        const size_t end = k + 1 < kRefereeCutTimes.size() ? sampleAt(kRefereeCutTimes[k + 1]) : x.size();
        EXPECT_GT(peakOf(x, cut, end), 0.5) << "clip " << k << " is silent";
    }
    EXPECT_LT(peakOf(x, x.size() - guard), 0.003);
}

TEST(RefereeFile, TheThreeFrameNumberSetsHaveThreeVoices) {
    const Pcm pcm = loadPcm("referee.wav");
    const std::vector<float> x = floats(pcm);
    const auto clip = [&](int k) {
        const auto at = [&](int i) { return long(double(kRefereeCutTimes[i]) * pcm.rate + 0.5); };
        return std::vector<float>(x.begin() + at(k), x.begin() + at(k + 1));
    };
    // "Frame one" in each voice.
    const double p0 = medianPitch(clip(kFrameVoice0), pcm.rate);
    const double p1 = medianPitch(clip(kFrameVoice1), pcm.rate);
    const double p2 = medianPitch(clip(kFrameVoice2), pcm.rate);
    ASSERT_GT(p0 * p1 * p2, 0);
    const double pitches[] = {p0, p1, p2};
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 3; ++b)
            EXPECT_GT(std::max(pitches[a], pitches[b]) / std::min(pitches[a], pitches[b]), 1.15)
                << "voices " << a << " and " << b << ": " << pitches[a] << " Hz, " << pitches[b] << " Hz";
}

TEST(RefereeLayout, KeepsTheGivenTimesAndShortensOrRejectsWhatCannotFit) {
    const std::vector<int> small(kRefereeClips, 30);
    const CutLayout even = layoutCutTable(small);
    ASSERT_TRUE(even.fits());
    ASSERT_EQ(even.starts.size(), size_t(kRefereeClips));
    EXPECT_EQ(even.starts[11], 976);
    EXPECT_EQ(even.starts[352], 36740);
    // The spare time is spread: the free gaps differ by at most one centisecond.
    int low = 1000, high = 0;
    for (int k = 12; k <= 352; ++k) {
        low = std::min(low, even.starts[k] - even.starts[k - 1]);
        high = std::max(high, even.starts[k] - even.starts[k - 1]);
    }
    EXPECT_LE(high - low, 1);

    struct Case {
        int clip;
        int need;
        std::vector<int> overfull;
    };
    const Case cases[] = {
        {0, 114, {0}},      // longer than the given 1.13 s
        {1, 73, {}},        // exactly the given 0.73 s
        {200, 164, {200}},  // longer than any gap may be
        {358, 112, {358}},  // the last given slot is 1.11 s
        {359, 500, {}},     // the last clip runs to the end of the file
    };
    for (const Case& c : cases) {
        std::vector<int> need = small;
        need[size_t(c.clip)] = c.need;
        const CutLayout layout = layoutCutTable(need);
        EXPECT_EQ(layout.overfull, c.overfull) << c.clip;
        EXPECT_EQ(layout.fits(), c.overfull.empty()) << c.clip;
        if (layout.fits() && c.clip < 352 && c.clip > 10) {
            EXPECT_GE(layout.starts[size_t(c.clip) + 1] - layout.starts[size_t(c.clip)], c.need);
        }
    }

    // 341 clips share 357.64 s: 1.05 s each is 0.42 s too many in all.
    std::vector<int> need = small;
    std::fill(need.begin() + 11, need.begin() + 352, 105);
    const CutLayout crowded = layoutCutTable(need);
    EXPECT_FALSE(crowded.fits());
    EXPECT_EQ(crowded.freeExcess, 341 * 105 - 35764);
}

TEST(RefereeScript, SaysTheNumbersAndCallsWhereTheGameExpectsThem) {
    const std::vector<RefereeLine> script = refereeScript();
    ASSERT_EQ(script.size(), size_t(kRefereeClips));
    const std::map<int, std::string> expected = {
        {1, "Frame one."},     {35, "Frame thirty five."}, {36, "Frame one."},        {70, "Frame thirty five."},
        {72, "Frame one."},    {106, "Frame thirty five."}, {107, "Deciding frame."}, {109, "Player one."},
        {112, "Player two to break."}, {113, "Yellow."},  {120, "Purple."},           {124, "Foul."},
        {125, "Free ball."},   {126, "Foul and a miss."},   {127, "Please nominate."}, {129, "Touching ball."},
        {130, "Frame conceded."}, {139, "One."},            {285, "One hundred and forty seven."},
        {359, "Two hundred and twenty one."},
    };
    for (const auto& [k, text] : expected) EXPECT_EQ(script[size_t(k)].text, text) << k;
    EXPECT_EQ(script[36].voice, 1);
    EXPECT_EQ(script[72].voice, 2);
    EXPECT_EQ(script[107].voice, 0);
    EXPECT_EQ(numberWords(100), "one hundred");
    EXPECT_EQ(numberWords(40), "forty");
}

class SingleSounds : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
        ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 4096), 0) << Mix_GetError();
        const std::string archive = BZ_BUILT_ARCHIVE;
        ArchiveIndex::instance().setBaseFolder(archive.substr(0, archive.size() - std::string(kArchivePath).size()));
    }
    static void TearDownTestSuite() {
        ArchiveIndex::instance().setBaseFolder("");
        Mix_CloseAudio();
        SDL_Quit();
    }

    // Archive member `entry` decoded by the mixer into the device format, as the sound bank gets it.
    static std::vector<int16_t> mixerSamples(int entry) {
        BZFile member(ArchiveIndex::instance().nameAt(size_t(entry)));
        EXPECT_TRUE(member.isOpen()) << entry;
        if (!member.isOpen()) return {};
        const char* data = nullptr;
        const uint64_t size = member.data(&data);
        Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(data, int(size)), 1);
        EXPECT_NE(chunk, nullptr) << entry << ": " << Mix_GetError();
        if (!chunk) return {};
        std::vector<int16_t> samples(chunk->alen / 2);
        std::memcpy(samples.data(), chunk->abuf, samples.size() * 2);
        Mix_FreeChunk(chunk);
        return samples;
    }
};

TEST_F(SingleSounds, LoadFromTheirArchivePositionsWithTheLengthAndPeakOfTheirRole) {
    ASSERT_EQ(effectSpecs().size(), 24u);
    std::map<int, double> peaks;
    for (const EffectSpec& spec : effectSpecs()) {
        const std::vector<int16_t> samples = mixerSamples(spec.entry);
        const double seconds = double(samples.size()) / 2 / 44100;
        EXPECT_GE(seconds, spec.minSeconds) << spec.file;
        EXPECT_LE(seconds, spec.maxSeconds) << spec.file;
        int peak = 0;
        for (int16_t v : samples) peak = std::max(peak, std::abs(int(v)));
        EXPECT_LT(peak, 32000) << spec.file << " clips";
        EXPECT_NEAR(20 * std::log10(peak / 32768.0 / spec.peak), 0.0, 0.5) << spec.file;
        peaks[spec.entry] = peak;
    }
    // Pocket drops grow louder with the entry speed.
    EXPECT_LT(peaks[3], peaks[4]);
    EXPECT_LT(peaks[4], peaks[5]);
    EXPECT_LT(peaks[5], peaks[6]);

    // The referee file is entry 9; cut where the engine cuts it in the device format, every clip
    // begins and ends in silence.
    const std::vector<int16_t> referee = mixerSamples(9);
    EXPECT_GT(double(referee.size()) / 2 / 44100, double(kRefereeCutTimes.back()) + 0.3);
    for (size_t k = 1; k < kRefereeCutTimes.size(); ++k) {
        const size_t cut = 2 * size_t(44100 * kRefereeCutTimes[k] + 0.5), guard = 2 * 441;
        int loudest = 0;
        for (size_t i = cut - guard; i < std::min(referee.size(), cut + guard); ++i)
            loudest = std::max(loudest, std::abs(int(referee[i])));
        EXPECT_LT(loudest, 100) << "cut " << k;
    }
}

TEST(SoundMeasures, TheBallClickIsShorterAndBrighterThanTheCushionThud) {
    const Pcm click = loadPcm("ball_click.wav"), thud = loadPcm("cushion.wav");
    const Pcm slow = loadPcm("pocket_drop_slow.wav"), hard = loadPcm("pocket_drop_hard.wav");
    const double clickCentroid = spectralCentroid(floats(click), click.rate);
    const double thudCentroid = spectralCentroid(floats(thud), thud.rate);
    EXPECT_GT(clickCentroid, 2000);
    EXPECT_LT(thudCentroid, 600);
    EXPECT_LT(ringSeconds(floats(click), click.rate), 0.5 * ringSeconds(floats(thud), thud.rate));
    // A faster ball drops brighter.
    EXPECT_GT(spectralCentroid(floats(hard), hard.rate), spectralCentroid(floats(slow), slow.rate));
}

// The generator writes the same bytes on every run. Rendering every effect again and speaking a few
// referee lines twice checks that without a second full run, which takes minutes on a busy machine.
TEST(SoundGenerator, ASecondRunWritesTheSameBytes) {
    for (const EffectSpec& spec : effectSpecs()) {
        std::string built;
        ASSERT_TRUE(readFile((kSounds / spec.file).string(), built)) << spec.file;
        EXPECT_TRUE(wavBytes(Pcm{kEffectRate, 1, toPcm16(renderEffect(spec))}) == built) << spec.file;
    }
    const std::vector<RefereeLine> script = refereeScript();
    for (const size_t k : {size_t(0), script.size() / 2, script.size() - 1}) {
        const Voice& voice = refereeVoice(script[k].voice);
        Pcm first, second;
        std::string error;
        ASSERT_TRUE(speak(BZ_ESPEAK_NG, voice, voice.wordsPerMinute, script[k].text, first, error)) << error;
        ASSERT_TRUE(speak(BZ_ESPEAK_NG, voice, voice.wordsPerMinute, script[k].text, second, error)) << error;
        EXPECT_FALSE(first.samples.empty()) << script[k].text;
        EXPECT_TRUE(first.rate == second.rate && first.samples == second.samples) << script[k].text;
    }
}
