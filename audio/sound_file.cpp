#include "audio/sound_file.h"

#include "core/archive.h"

#include <algorithm>
#include <fstream>

namespace {

bool isFileName(const std::string& name) { return name.compare(0, 4, "res/") == 0; }

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

SoundFileBytes::SoundFileBytes() = default;
SoundFileBytes::~SoundFileBytes() = default;

bool readSoundFile(const std::string& name, SoundFileBytes& out, bool& found) {
    found = true;
    if (isFileName(name)) {
        std::ifstream in(name, std::ios::binary);
        if (!in) return false;
        out.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        out.data = out.file.data();
        out.size = out.file.size();
        return !in.bad();
    }
    out.member = std::make_unique<BZFile>(name);
    if (!out.member->isOpen()) {
        found = false;
        return false;
    }
    const char* data = nullptr;
    out.size = out.member->data(&data);
    out.data = reinterpret_cast<const uint8_t*>(data);
    return true;
}

bool readSoundFileStretch(const std::string& name, uint64_t from, uint64_t count, std::vector<uint8_t>& out) {
    out.resize(count);
    if (isFileName(name)) {
        std::ifstream in(name, std::ios::binary);
        in.seekg(std::streamoff(from));
        in.read(reinterpret_cast<char*>(out.data()), std::streamsize(count));
        return in && uint64_t(in.gcount()) == count;
    }
    BZFile member(name, from, count);
    return member.isOpen() && member.read(out.data(), count) == count;
}

bool wavSampleData(const uint8_t* file, uint64_t size, uint64_t& offset, uint64_t& length) {
    if (size < 12 || std::string(reinterpret_cast<const char*>(file), 4) != "RIFF" ||
        std::string(reinterpret_cast<const char*>(file) + 8, 4) != "WAVE") {
        return false;
    }
    // Chunks follow the header, each an id, a length and its bytes padded to an even length.
    for (uint64_t at = 12; size - at >= 8;) {
        const uint64_t chunk = le32(file + at + 4);
        if (std::string(reinterpret_cast<const char*>(file) + at, 4) == "data") {
            offset = at + 8;
            length = std::min(chunk, size - offset);
            return true;
        }
        at += 8 + chunk + (chunk & 1);
        if (at > size) return false;
    }
    return false;
}
