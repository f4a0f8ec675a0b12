#include "tools/soundgen/wav.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace soundgen {
namespace {

void put16(std::string& s, uint32_t v) {
    s.push_back(char(v & 0xff));
    s.push_back(char((v >> 8) & 0xff));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}
uint32_t get16(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8;
}
uint32_t get32(const std::string& s, size_t at) { return get16(s, at) | get16(s, at + 2) << 16; }

}  // namespace

std::string wavBytes(const Pcm& pcm) {
    const uint32_t dataSize = uint32_t(pcm.samples.size() * 2);
    const uint32_t blockAlign = uint32_t(pcm.channels * 2);
    std::string s;
    s.reserve(44 + dataSize);
    s += "RIFF";
    put32(s, 36 + dataSize);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, uint32_t(pcm.channels));
    put32(s, uint32_t(pcm.rate));
    put32(s, uint32_t(pcm.rate) * blockAlign);
    put16(s, blockAlign);
    put16(s, 16);
    s += "data";
    put32(s, dataSize);
    for (int16_t v : pcm.samples) put16(s, uint16_t(v));
    return s;
}

bool parseWav(const std::string& bytes, Pcm& out, std::string& error) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool haveFormat = false;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        const size_t size = get32(bytes, at + 4);
        const size_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > bytes.size()) break;
            if (get16(bytes, body) != 1 || get16(bytes, body + 14) != 16) {
                error = "not 16-bit PCM";
                return false;
            }
            out.channels = int(get16(bytes, body + 2));
            out.rate = int(get32(bytes, body + 4));
            haveFormat = out.channels > 0 && out.rate > 0;
        } else if (id == "data") {
            if (!haveFormat) break;
            const size_t end = size > bytes.size() - body ? bytes.size() : body + size;
            out.samples.resize((end - body) / 2);
            for (size_t i = 0; i < out.samples.size(); ++i) out.samples[i] = int16_t(get16(bytes, body + 2 * i));
            return true;
        }
        if (size > bytes.size() - body) break;
        at = body + size + (size & 1);
    }
    error = haveFormat ? "no data chunk" : "no usable fmt chunk";
    return false;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    bytes = buffer.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace soundgen
