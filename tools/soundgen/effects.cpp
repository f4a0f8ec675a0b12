#include "tools/soundgen/effects.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace soundgen {
namespace {

// --- Ball sounds -------------------------------------------------------------------------------
// Resin balls ring high and die within a few milliseconds; the cushion and the pocket are soft and
// heavy, so their energy sits low and lasts longer.

struct Mode {
    double hz, amp, tau;
};

// A hard contact: a burst of filtered noise for the moment of impact and the resonances it rings.
Buffer impact(double seconds, uint64_t seed, double noiseAmp, double noiseTau, Biquad noiseFilter,
              std::initializer_list<Mode> modes) {
    Buffer b(samplesFor(seconds));
    Rng rng(seed);
    addNoiseBurst(b, rng, 0, noiseAmp, noiseTau, noiseFilter);
    for (const Mode& m : modes) addMode(b, 0, m.hz, m.amp, m.tau);
    return b;
}

// Leather tip on resin: a short woody knock.
Buffer cueStrike() {
    return impact(0.15, 101, 0.5, 0.002, Biquad::bandPass(2500, 1.2),
                  {{1250, 0.7, 0.007}, {2300, 0.4, 0.005}, {520, 0.5, 0.012}});
}

Buffer ballClick() {
    return impact(0.1, 102, 0.6, 0.0008, Biquad::highPass(2000, 0.7),
                  {{3150, 0.9, 0.006}, {4870, 0.6, 0.004}, {6900, 0.4, 0.003}, {1800, 0.25, 0.010}});
}

Buffer cushion() {
    return impact(0.28, 103, 0.7, 0.008, Biquad::lowPass(700, 0.7),
                  {{95, 0.8, 0.045}, {180, 0.6, 0.03}, {410, 0.3, 0.015}});
}

// speed 0..1: a faster ball knocks the fall harder and brighter and bounces more often in the pocket.
Buffer pocketDrop(double speed, uint64_t seed) {
    Buffer b = impact(0.45 + 0.3 * speed, seed, 0.6, 0.01, Biquad::lowPass(600 + 1400 * speed, 0.7),
                      {{160, 0.8, 0.04}, {330, 0.5, 0.025}, {900 + 600 * speed, 0.25 * speed, 0.006}});
    Rng rng(seed + 1000);
    const int bounces = 2 + int(std::lround(4 * speed));
    double at = 0.07 + 0.05 * speed, gap = 0.09, amp = 0.55;
    for (int i = 0; i < bounces && at < 0.6; ++i) {
        addMode(b, at, rng.between(210, 260), amp, 0.02);
        addNoiseBurst(b, rng, at, amp * 0.6, 0.006, Biquad::lowPass(900, 0.7));
        addNoiseBurst(b, rng, at, amp * 0.08, 0.04, Biquad::bandPass(1200, 1.0));  // the net
        at += gap;
        gap *= 0.7;
        amp *= 0.6;
    }
    // The ball rolls on down the channel.
    addNoiseBurst(b, rng, at, 0.12 * speed, 0.1, Biquad::lowPass(220, 0.9));
    return b;
}

Buffer dropOntoBalls(double hardness, uint64_t seed) {
    Buffer b = impact(0.18, seed, 0.4 * hardness, 0.001, Biquad::highPass(1500, 0.7),
                      {{2600, 0.7, 0.004}, {4100, 0.4 * hardness, 0.003}, {300, 0.5, 0.015}});
    // The net gives way and the ball settles with a second, smaller touch.
    addMode(b, 0.06, 2500, 0.2, 0.003);
    addMode(b, 0.06, 290, 0.2, 0.012);
    return b;
}

// --- Crowd ---------------------------------------------------------------------------------------

struct CrowdShape {
    double seconds;
    int clappers;
    int cheers;
    int whistles;
    uint64_t seed;
};

// A cheer: a voiced "whoo" whose pitch rises, its upper harmonics kept low.
void addCheer(Buffer& b, Rng& rng, double at) {
    const double f0 = rng.between(150, 330);
    const double length = rng.between(0.5, 0.9);
    Buffer voice(samplesFor(length));
    addTone(voice, 0, f0, f0 * rng.between(1.2, 1.5), 1.0, 0.08, 0.4, length,
            {{2, 0.5}, {3, 0.25}, {4, 0.12}, {5, 0.06}});
    Biquad::lowPass(900, 0.8).run(voice);
    fadeEdges(voice, 0.05, 0.15);
    const size_t start = samplesFor(at);
    for (size_t i = 0; i < voice.size() && start + i < b.size(); ++i) b[start + i] += 0.08f * voice[i];
}

Buffer crowd(const CrowdShape& shape) {
    Buffer b(samplesFor(shape.seconds));
    Rng rng(shape.seed);
    for (int c = 0; c < shape.clappers; ++c) {
        const double rate = rng.between(3.5, 6.0);
        const double hands = rng.between(900, 2400);
        const double level = rng.between(0.3, 1.0);
        const double stop = shape.seconds * rng.between(0.5, 0.9);
        for (double t = rng.between(0, 0.35); t < stop; t += rng.between(0.85, 1.15) / rate) {
            // Every clapper tires a little towards the end.
            const double tire = 1.0 - 0.5 * t / stop;
            addNoiseBurst(b, rng, t, 0.25 * level * tire, rng.between(0.004, 0.009),
                          Biquad::bandPass(hands * rng.between(0.9, 1.1), 1.4), 0.04);
        }
    }
    for (int i = 0; i < shape.cheers; ++i) addCheer(b, rng, rng.between(0.1, shape.seconds * 0.6));
    for (int i = 0; i < shape.whistles; ++i) {
        const double hz = rng.between(2000, 2600);
        addTone(b, rng.between(0.2, shape.seconds * 0.5), hz, hz * rng.between(1.1, 1.25), 0.06, 0.05, 0.5,
                rng.between(0.4, 0.8));
    }
    fadeEdges(b, 0.05, shape.seconds * 0.3);
    return b;
}

Buffer applause1() { return crowd({3.5, 40, 0, 0, 201}); }
Buffer applause2() { return crowd({3.8, 45, 2, 0, 202}); }
Buffer century1() { return crowd({5.5, 70, 6, 2, 203}); }
Buffer century2() { return crowd({6.0, 75, 8, 3, 204}); }
Buffer maximumBreak() { return crowd({8.5, 110, 16, 6, 205}); }

// The hall draws breath: many voices on a falling "ooh".
Buffer snookersNeeded() {
    Buffer b(samplesFor(2.2));
    Rng rng(206);
    for (int v = 0; v < 28; ++v) {
        const double f0 = rng.between(95, 230);
        const double length = rng.between(1.3, 1.8);
        addTone(b, rng.between(0, 0.25), f0, f0 * rng.between(0.8, 0.9), 0.05, rng.between(0.15, 0.3), 0.6,
                length, {{2, 0.45}, {3, 0.2}, {4, 0.1}});
    }
    Biquad::lowPass(1000, 0.7).run(b);
    addNoiseBurst(b, rng, 0, 0.05, 1.0, Biquad::bandPass(500, 0.8), 2.0);
    fadeEdges(b, 0.08, 0.5);
    return b;
}

// --- Notifications -------------------------------------------------------------------------------

const std::vector<Partial> kBell = {{2.76, 0.3}, {5.4, 0.12}};
const std::vector<Partial> kSoft = {{2.0, 0.15}};

Buffer fiveSecondsLeft() {
    Buffer b(samplesFor(0.45));
    for (double at : {0.0, 0.18}) addTone(b, at, 1046.5, 1046.5, 0.5, 0.005, 0.05, 0.12, {{2, 0.2}, {3, 0.1}});
    return b;
}

Buffer chatMessage() {
    Buffer b(samplesFor(0.18));
    addTone(b, 0, 520, 880, 0.8, 0.004, 0.04, 0.15, kSoft);
    return b;
}

// A rising pair of notes, the second sounding on to the end.
Buffer twoNotes(double seconds, double first, double second, double delay, double tau,
                const std::vector<Partial>& timbre) {
    Buffer b(samplesFor(seconds));
    addTone(b, 0, first, first, 0.5, 0.003, tau, delay + 0.2, timbre);
    addTone(b, delay, second, second, 0.5, 0.003, tau, seconds - delay, timbre);
    return b;
}

// A coin-bright chime, also the private-message sound.
Buffer kredBoxCollected() { return twoNotes(0.65, 987.8, 1318.5, 0.08, 0.14, kBell); }

Buffer kredBoxOpened() {
    Buffer b(samplesFor(1.0));
    Rng rng(301);
    const double notes[] = {1046.5, 1318.5, 1568.0, 2093.0};
    for (int i = 0; i < 4; ++i) addTone(b, 0.07 * i, notes[i], notes[i], 0.35, 0.002, 0.25, 1.0 - 0.07 * i, kBell);
    addNoiseBurst(b, rng, 0.2, 0.05, 0.2, Biquad::highPass(6000, 0.7));
    return b;
}

Buffer arezor() {
    Buffer b(samplesFor(0.8));
    addTone(b, 0, 220, 880, 0.45, 0.05, 10.0, 0.7, {{2, 0.4}, {3, 0.25}, {4, 0.15}});
    addTone(b, 0.1, 1760, 3520, 0.08, 0.05, 10.0, 0.6);
    fadeEdges(b, 0.0, 0.25);
    return b;
}

void addWoodKnock(Buffer& b, double at, double amp) {
    addMode(b, at, 900, amp, 0.01);
    addMode(b, at, 1500, amp * 0.6, 0.008);
    addMode(b, at, 380, amp * 0.5, 0.015);
}

Buffer cuePartsFused() {
    Buffer b(samplesFor(1.0));
    addWoodKnock(b, 0, 0.6);
    addWoodKnock(b, 0.12, 0.6);
    for (double hz : {784.0, 987.8, 1174.7}) addTone(b, 0.25, hz, hz, 0.3, 0.003, 0.3, 0.75, kBell);
    return b;
}

Buffer cueUsed() {
    Buffer b(samplesFor(0.5));
    addWoodKnock(b, 0, 0.7);
    addWoodKnock(b, 0.09, 0.4);
    addTone(b, 0.16, 880, 880, 0.3, 0.003, 0.12, 0.34, kSoft);
    return b;
}

Buffer cuePurchased() {
    Buffer b(samplesFor(0.9));
    Rng rng(302);
    for (int i = 0; i < 6; ++i) {
        const double hz = rng.between(3000, 5000);
        addTone(b, rng.between(0, 0.2), hz, hz, 0.12, 0.001, 0.05, 0.2, kBell);
    }
    for (double hz : {1318.5, 1661.2}) addTone(b, 0.22, hz, hz, 0.35, 0.002, 0.35, 0.68, kBell);
    return b;
}

// Softer and slower than the coin chime: a friend has come online.
Buffer friendLogin() { return twoNotes(0.6, 784.0, 1174.7, 0.13, 0.18, kSoft); }

}  // namespace

const std::vector<EffectSpec>& effectSpecs() {
    using K = EffectKind;
    static const std::vector<EffectSpec> specs = {
        {0, "cue_strike.wav", K::Ball, 0.8f, 0.05, 0.2, cueStrike},
        {1, "ball_click.wav", K::Ball, 0.89f, 0.03, 0.15, ballClick},
        {2, "cushion.wav", K::Ball, 0.8f, 0.1, 0.4, cushion},
        {3, "pocket_drop_slow.wav", K::Ball, 0.45f, 0.3, 1.0, [] { return pocketDrop(0.25, 111); }},
        {4, "pocket_drop_medium.wav", K::Ball, 0.6f, 0.3, 1.0, [] { return pocketDrop(0.5, 112); }},
        {5, "pocket_drop_fast.wav", K::Ball, 0.75f, 0.3, 1.0, [] { return pocketDrop(0.75, 113); }},
        {6, "pocket_drop_hard.wav", K::Ball, 0.89f, 0.3, 1.0, [] { return pocketDrop(1.0, 114); }},
        {7, "drop_onto_ball_soft.wav", K::Ball, 0.5f, 0.05, 0.3, [] { return dropOntoBalls(0.5, 121); }},
        {8, "drop_onto_ball_hard.wav", K::Ball, 0.8f, 0.05, 0.3, [] { return dropOntoBalls(1.0, 122); }},
        {10, "applause_1.wav", K::Crowd, 0.7f, 2.5, 5.0, applause1},
        {11, "applause_2.wav", K::Crowd, 0.7f, 2.5, 5.0, applause2},
        {12, "snookers_needed.wav", K::Crowd, 0.6f, 1.0, 3.0, snookersNeeded},
        {13, "century_applause_1.wav", K::Crowd, 0.8f, 4.0, 8.0, century1},
        {14, "century_applause_2.wav", K::Crowd, 0.8f, 4.0, 8.0, century2},
        {15, "maximum_break.wav", K::Crowd, 0.89f, 6.0, 12.0, maximumBreak},
        {16, "five_seconds_left.wav", K::Notification, 0.7f, 0.2, 1.0, fiveSecondsLeft},
        {17, "chat_message.wav", K::Notification, 0.6f, 0.05, 0.5, chatMessage},
        {18, "kred_box_collected.wav", K::Notification, 0.7f, 0.2, 1.2, kredBoxCollected},
        {19, "kred_box_opened.wav", K::Notification, 0.7f, 0.3, 1.5, kredBoxOpened},
        {20, "arezor.wav", K::Notification, 0.7f, 0.3, 1.5, arezor},
        {21, "cue_parts_fused.wav", K::Notification, 0.7f, 0.3, 1.5, cuePartsFused},
        {22, "cue_used.wav", K::Notification, 0.6f, 0.2, 1.0, cueUsed},
        {23, "cue_purchased.wav", K::Notification, 0.7f, 0.3, 1.5, cuePurchased},
        {24, "friend_login.wav", K::Notification, 0.6f, 0.2, 1.0, friendLogin},
    };
    return specs;
}

Buffer renderEffect(const EffectSpec& spec) {
    Buffer b = spec.make();
    // Drop a silent tail (below -60 dB of the peak) so that a sound frees its channel when it is heard out.
    const float floor = peakOf(b) * 0.001f;
    size_t end = b.size();
    while (end > 0 && std::fabs(b[end - 1]) <= floor) --end;
    b.resize(std::min(b.size(), end + samplesFor(0.01)));
    fadeEdges(b, 0.0005, 0.01);
    normalise(b, spec.peak);
    return b;
}

}  // namespace soundgen
