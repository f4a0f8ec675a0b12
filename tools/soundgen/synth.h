// Small deterministic synthesis kit: a seeded noise source, RBJ biquads and envelopes on float
// buffers (-1..1), and the conversion to 16-bit samples. No state outside the objects, so every
// run of the generator writes the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace soundgen {

using Buffer = std::vector<float>;

constexpr int kEffectRate = 44100;

// xorshift64*: fast, seedable, the same sequence on every platform.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed ? seed : 0x9e3779b97f4a7c15ULL) {}
    double uniform();                          // [0, 1)
    double between(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    float noise() { return float(2.0 * uniform() - 1.0); }

private:
    uint64_t state_;
};

class Biquad {
public:
    static Biquad lowPass(double hz, double q, int rate = kEffectRate);
    static Biquad highPass(double hz, double q, int rate = kEffectRate);
    static Biquad bandPass(double hz, double q, int rate = kEffectRate);  // 0 dB at the centre
    float step(float x);
    void run(Buffer& b) {
        for (float& x : b) x = step(x);
    }

private:
    static Biquad withNumerator(double hz, double q, int rate, double n0, double n1, double n2);
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double z1_ = 0, z2_ = 0;
};

inline size_t samplesFor(double seconds, int rate = kEffectRate) { return size_t(seconds * rate + 0.5); }

// A struck resonance: a sine at hz whose amplitude falls by e every tau seconds, added from `at`.
void addMode(Buffer& b, double at, double hz, double amp, double tau, int rate = kEffectRate);

// White noise with an instant attack and exponential decay, shaped by `filter`, added from `at`.
void addNoiseBurst(Buffer& b, Rng& rng, double at, double amp, double tau, Biquad filter,
                   double length = 0, int rate = kEffectRate);

// A tone that glides from hz0 to hz1 under an attack/exponential-release envelope: the notification
// sounds' bells and beeps. `partials` gives extra overtones as {ratio, gain} pairs.
struct Partial {
    double ratio;
    double gain;
};
void addTone(Buffer& b, double at, double hz0, double hz1, double amp, double attack, double tau,
             double length, const std::vector<Partial>& partials = {}, int rate = kEffectRate);

// Linear fade over the first and last `seconds` so that no sound starts or ends on a step.
void fadeEdges(Buffer& b, double in, double out, int rate = kEffectRate);

// Scales so that the largest magnitude equals `peak` (nothing for a silent buffer).
void normalise(Buffer& b, float peak);

float peakOf(const Buffer& b);

// Rounds to the nearest 16-bit value, clamped: no dither, so the result is repeatable.
std::vector<int16_t> toPcm16(const Buffer& b);

}  // namespace soundgen
