// The single sounds of the sound bank: one recipe per archive position 0-8 and 10-24 (9 is the
// referee's file). Peaks and lengths are part of the table so that the tests hold each sound to its role.
#pragma once

#include <string>
#include <vector>

#include "tools/soundgen/synth.h"

namespace soundgen {

enum class EffectKind { Ball, Crowd, Notification };

struct EffectSpec {
    int entry;              // position in the resource archive
    const char* file;       // written as sounds/<file>
    EffectKind kind;
    float peak;             // full scale is 1.0; louder events get a higher peak
    double minSeconds;
    double maxSeconds;
    Buffer (*make)();
};

// In archive order.
const std::vector<EffectSpec>& effectSpecs();

}  // namespace soundgen

namespace soundgen {
// The recipe without its silent tail, with short edge fades, normalised to its peak.
Buffer renderEffect(const EffectSpec& spec);
}  // namespace soundgen
