// Speech from the espeak-ng command line, read back from its standard output as WAV.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/soundgen/wav.h"

namespace soundgen {

struct Voice {
    const char* name;  // espeak-ng voice with variant
    int pitch;         // 0..99
    int wordsPerMinute;
};

// The referee's three voices: the main one says everything except the second and third sets of
// frame numbers.
const Voice& refereeVoice(int index);

// Runs `espeak` (a path) directly, without a shell; fails when it cannot start, exits non-zero or
// writes no usable WAV.
bool speak(const std::string& espeak, const Voice& voice, int wordsPerMinute, const std::string& text, Pcm& out,
           std::string& error);

// The spoken part of mono samples: from a little before the first to a little after the last sample
// above the noise floor, with short fades, so that the clip can sit between silent cut points.
std::vector<int16_t> trimSpeech(const std::vector<int16_t>& samples, int rate);

}  // namespace soundgen
