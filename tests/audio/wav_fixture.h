// WAV files for the sound engine's tests (16-bit; 44.1 kHz stereo unless asked), each frame's first sample holding
// the frame's index (mod 32768), so a clip's bytes tell where it was cut. The engine runs on SDL's
// dummy driver in a temporary working folder that holds res/.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace bztest {

inline void writeTestWav(const std::string& path, double seconds, int rate = 44100, int channels = 2) {
    const uint32_t frames = uint32_t(seconds * rate + 0.5);
    const uint32_t dataBytes = frames * 2 * uint32_t(channels);
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    // Byte by byte: a range insert of a literal trips a false overflow warning in GCC 12 at -O1.
    auto text = [&](const char* s) { for (int i = 0; i < 4; ++i) out.push_back(uint8_t(s[i])); };
    text("RIFF"); u32(36 + dataBytes); text("WAVE");
    text("fmt "); u32(16); u16(1); u16(uint16_t(channels)); u32(uint32_t(rate)); u32(uint32_t(rate) * 2 * uint32_t(channels));
    u16(uint16_t(2 * channels)); u16(16);
    text("data"); u32(dataBytes);
    for (uint32_t f = 0; f < frames; ++f) {
        u16(uint16_t(f & 0x7FFF));
        if (channels == 2) u16(0x0100);
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

// The frame index a clip's first frame came from.
inline int firstFrameIndex(const uint8_t* bytes) { return bytes[0] | (bytes[1] << 8); }

class AudioFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        previous_ = std::filesystem::current_path();
        folder_ = std::filesystem::temp_directory_path() /
                  ("bz_audio_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_ / "res");
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }

    std::filesystem::path previous_, folder_;
};

}  // namespace bztest
