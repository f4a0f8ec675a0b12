// A sound file's bytes, where the engine finds them: a name starting "res/" is a file (relative to
// the working folder), any other a member of the resource archive. Read whole to decode it, and a
// stretch at a time for a long file whose samples are left where they lie.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BZFile;

// A whole file in memory: an archive member's own buffer, or a file's bytes.
struct SoundFileBytes {
    std::unique_ptr<BZFile> member;
    std::vector<uint8_t> file;
    const uint8_t* data = nullptr;
    uint64_t size = 0;

    SoundFileBytes();
    ~SoundFileBytes();
};

// The whole file; false when it cannot be read (`found` false: no such archive member).
bool readSoundFile(const std::string& name, SoundFileBytes& out, bool& found);
// Bytes [from, from + count) of the file; false unless all of them were read.
bool readSoundFileStretch(const std::string& name, uint64_t from, uint64_t count, std::vector<uint8_t>& out);
// Where a RIFF WAVE file's samples lie: its "data" chunk, cut at the end of the bytes given.
// False without one.
bool wavSampleData(const uint8_t* file, uint64_t size, uint64_t& offset, uint64_t& length);
