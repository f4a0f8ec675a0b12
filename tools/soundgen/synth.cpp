#include "tools/soundgen/synth.h"

#include <algorithm>
#include <cmath>

namespace soundgen {
namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Rbj {
    double w, cosw, alpha;
};
Rbj rbj(double hz, double q, int rate) {
    const double w = kTwoPi * hz / rate;
    return {w, std::cos(w), std::sin(w) / (2.0 * q)};
}

}  // namespace

double Rng::uniform() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return double((state_ * 0x2545F4914F6CDD1DULL) >> 11) * (1.0 / 9007199254740992.0);
}

Biquad Biquad::withNumerator(double hz, double q, int rate, double n0, double n1, double n2) {
    // RBJ cookbook: the denominator is the same for every response; n0..n2 are in terms of cos w and alpha.
    const Rbj r = rbj(hz, q, rate);
    const double a0 = 1 + r.alpha;
    Biquad f;
    f.b0_ = n0 / a0;
    f.b1_ = n1 / a0;
    f.b2_ = n2 / a0;
    f.a1_ = -2 * r.cosw / a0;
    f.a2_ = (1 - r.alpha) / a0;
    return f;
}

Biquad Biquad::lowPass(double hz, double q, int rate) {
    const double c = rbj(hz, q, rate).cosw;
    return withNumerator(hz, q, rate, (1 - c) / 2, 1 - c, (1 - c) / 2);
}

Biquad Biquad::highPass(double hz, double q, int rate) {
    const double c = rbj(hz, q, rate).cosw;
    return withNumerator(hz, q, rate, (1 + c) / 2, -(1 + c), (1 + c) / 2);
}

Biquad Biquad::bandPass(double hz, double q, int rate) {
    const double alpha = rbj(hz, q, rate).alpha;
    return withNumerator(hz, q, rate, alpha, 0, -alpha);
}

float Biquad::step(float x) {
    // Transposed direct form II.
    const double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return float(y);
}

void addMode(Buffer& b, double at, double hz, double amp, double tau, int rate) {
    const size_t start = samplesFor(at, rate);
    const size_t length = std::min(b.size() - std::min(b.size(), start), samplesFor(tau * 9, rate));
    for (size_t i = 0; i < length; ++i) {
        const double t = double(i) / rate;
        b[start + i] += float(amp * std::exp(-t / tau) * std::sin(kTwoPi * hz * t));
    }
}

void addNoiseBurst(Buffer& b, Rng& rng, double at, double amp, double tau, Biquad filter, double length,
                   int rate) {
    const size_t start = samplesFor(at, rate);
    const size_t n = std::min(b.size() - std::min(b.size(), start), samplesFor(length > 0 ? length : tau * 9, rate));
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        b[start + i] += float(amp * std::exp(-t / tau)) * filter.step(rng.noise());
    }
}

void addTone(Buffer& b, double at, double hz0, double hz1, double amp, double attack, double tau,
             double length, const std::vector<Partial>& partials, int rate) {
    const size_t start = samplesFor(at, rate);
    const size_t n = std::min(b.size() - std::min(b.size(), start), samplesFor(length, rate));
    std::vector<double> phase(partials.size() + 1, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        // An exponential glide sounds even across the octave.
        const double hz = hz0 * std::pow(hz1 / hz0, std::min(1.0, t / length));
        const double env = (attack > 0 && t < attack ? t / attack : 1.0) * std::exp(-std::max(0.0, t - attack) / tau);
        double v = std::sin(phase[0]);
        phase[0] += kTwoPi * hz / rate;
        for (size_t p = 0; p < partials.size(); ++p) {
            v += partials[p].gain * std::sin(phase[p + 1]);
            phase[p + 1] += kTwoPi * hz * partials[p].ratio / rate;
        }
        b[start + i] += float(amp * env * v);
    }
}

void fadeEdges(Buffer& b, double in, double out, int rate) {
    const size_t nIn = std::min(b.size(), samplesFor(in, rate));
    const size_t nOut = std::min(b.size(), samplesFor(out, rate));
    for (size_t i = 0; i < nIn; ++i) b[i] *= float(i) / float(nIn);
    for (size_t i = 0; i < nOut; ++i) b[b.size() - 1 - i] *= float(i) / float(nOut);
}

float peakOf(const Buffer& b) {
    float peak = 0;
    for (float x : b) peak = std::max(peak, std::fabs(x));
    return peak;
}

void normalise(Buffer& b, float peak) {
    const float current = peakOf(b);
    if (current <= 0) return;
    const float gain = peak / current;
    for (float& x : b) x *= gain;
}

std::vector<int16_t> toPcm16(const Buffer& b) {
    std::vector<int16_t> out(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        out[i] = int16_t(std::lround(std::clamp(double(b[i]), -1.0, 32767.0 / 32768.0) * 32768.0));
    return out;
}

}  // namespace soundgen
