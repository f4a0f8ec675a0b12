// 16-bit PCM WAV files: writing our own sounds and reading them (or the speech synthesiser's) back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundgen {

struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
};

// A canonical 44-byte header followed by the samples, little-endian.
std::string wavBytes(const Pcm& pcm);

// Accepts any RIFF/WAVE with a 16-bit PCM "fmt " chunk; a data chunk whose size runs past the end (as
// a stream writer leaves it) is read to the end.
bool parseWav(const std::string& bytes, Pcm& out, std::string& error);

bool readFile(const std::string& path, std::string& bytes);
bool writeFile(const std::string& path, const std::string& bytes);

}  // namespace soundgen
