#include "audio/sound.h"
#include "audio/wav_fixture.h"
#include "support/captured_log.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using bztest::AudioFolderTest;

class SoundTest : public AudioFolderTest {};

// Waits (bounded) until the channel has stopped.
bool waitUntilFree(int channel, int limitMs = 3000) {
    for (int waited = 0; waited < limitMs; waited += 10) {
        if (Mix_Playing(channel) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Does the channel play exactly these bytes?
bool playsSamples(int channel, const std::vector<uint8_t>& bytes) {
    const Mix_Chunk* chunk = Mix_GetChunk(channel);
    return chunk != nullptr && chunk->alen == bytes.size() && std::equal(bytes.begin(), bytes.end(), chunk->abuf);
}

TEST(SoundVolume, RoundsToMixerVolume) {
    const struct {
        float volume;
        int mixer;
    } cases[] = {{0.0f, 0}, {0.001f, 1}, {1.0f / 512, 1}, {0.5f, 64}, {0.55f, 70}, {1.0f, 128}, {-0.5f, 0}, {7.0f, 128}};
    for (const auto& c : cases) EXPECT_EQ(Sound::mixerVolume(c.volume), c.mixer) << c.volume;
}

TEST_F(SoundTest, OpensTheDummyDeviceWithElevenChannels) {
    Sound sound;
    ASSERT_TRUE(sound.initialised());
    EXPECT_EQ(sound.channelCount(), 11);
}

TEST_F(SoundTest, WithoutCutTimesOneClipCoversTheFile) {
    bztest::writeTestWav("res/two.wav", 2.0);
    Sound sound;
    ASSERT_TRUE(sound.initialised());
    EXPECT_EQ(sound.load("res/two.wav"), 0);
    ASSERT_EQ(sound.clipCount(), 1);
    EXPECT_FLOAT_EQ(sound.clipDuration(0), 2.0f);
    EXPECT_EQ(sound.clipByteSize(0), 2u * 44100 * 4);
}

TEST_F(SoundTest, CutTimesGiveFrameAlignedByteRanges) {
    bztest::writeTestWav("res/three.wav", 3.0);
    bztest::writeTestWav("res/one.wav", 1.0);
    Sound sound;
    ASSERT_EQ(sound.load("res/one.wav"), 0);
    EXPECT_EQ(sound.load("res/three.wav", {0.0f, 1.13f}), 1);
    ASSERT_EQ(sound.clipCount(), 3);
    EXPECT_EQ(sound.clipByteSize(1), 4u * 49833);
    EXPECT_EQ(sound.clipByteSize(2), 3u * 44100 * 4 - 4u * 49833);
    EXPECT_EQ(bztest::firstFrameIndex(sound.clipSamples(2).data()), 49833 & 0x7FFF);
    EXPECT_NEAR(sound.clipDuration(1), 1.13f, 1e-6);
    EXPECT_NEAR(sound.clipDuration(2), 1.87f, 1e-6);
}

TEST_F(SoundTest, OtherRatesAndMonoAreConvertedToTheDeviceFormat) {
    bztest::writeTestWav("res/mono.wav", 1.0, 22050, 1);
    Sound sound;
    ASSERT_EQ(sound.load("res/mono.wav", {0.0f, 0.5f}), 0);
    EXPECT_EQ(sound.clipByteSize(0), 4u * 22050);
    EXPECT_EQ(sound.clipByteSize(1), 4u * 22050);
    // Frame 2k of the result is source frame k in both channels; frame 2k + 1 lies halfway.
    const std::vector<uint8_t> bytes = sound.clipSamples(1);
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
    EXPECT_EQ(samples[0], 11025);
    EXPECT_EQ(samples[1], 11025);
    EXPECT_EQ(samples[2], 11026);  // 11025.5 rounded up
    EXPECT_EQ(samples[4], 11026);
    // The file is kept as it came, a quarter of the device format.
    EXPECT_EQ(sound.storedBytes(), 2u * 22050);
}

TEST_F(SoundTest, AClipOfAFileIsThatStretchOfTheWholeFileConverted) {
    bztest::writeTestWav("res/odd.wav", 0.7, 16000, 1);
    Sound sound;
    ASSERT_EQ(sound.load("res/odd.wav"), 0);
    ASSERT_EQ(sound.load("res/odd.wav", {0.0f, 0.123f, 0.4561f}), 1);
    const std::vector<uint8_t> whole = sound.clipSamples(0);
    size_t at = 0;
    for (int clip = 1; clip <= 3; ++clip) {
        const std::vector<uint8_t> part = sound.clipSamples(clip);
        ASSERT_EQ(part.size(), sound.clipByteSize(clip));
        ASSERT_LE(at + part.size(), whole.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + long(at))) << clip;
        at += part.size();
    }
    EXPECT_EQ(at, whole.size());
}

TEST_F(SoundTest, ALongFileStaysInItsFileAndEachClipReadsItsStretch) {
    // Over the bound in the device format and as 16-bit mono at half the rate.
    const struct {
        const char* name;
        double seconds;
        int rate, channels;
    } files[] = {{"res/long_stereo.wav", 6.0, 44100, 2}, {"res/long_mono.wav", 24.0, 22050, 1}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        bztest::CapturedLog log;
        bztest::writeTestWav(f.name, f.seconds, f.rate, f.channels);
        Sound sound;
        ASSERT_EQ(sound.load(f.name), 0);
        ASSERT_EQ(sound.load(f.name, {0.0f, 1.13f, 4.0771f, 5.5f}), 1);
        EXPECT_EQ(sound.storedBytes(), 0u);
        // Device frame n holds source frame n * rate / 44100, whose first sample is its index.
        const std::vector<uint8_t> whole = sound.clipSamples(0);
        ASSERT_EQ(whole.size(), size_t(f.seconds * 44100 + 0.5) * 4);
        const int stride = 44100 / f.rate;
        for (size_t n = 0; n < whole.size() / 4; n += size_t(stride)) {
            ASSERT_EQ(bztest::firstFrameIndex(whole.data() + 4 * n), int(n / size_t(stride)) & 0x7FFF) << n;
        }
        size_t at = 0;
        for (int clip = 1; clip <= 4; ++clip) {
            const std::vector<uint8_t> part = sound.clipSamples(clip);
            ASSERT_EQ(part.size(), sound.clipByteSize(clip));
            EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + long(at))) << clip;
            at += part.size();
        }
        EXPECT_EQ(at, whole.size());
        // A file gone meanwhile: the clip keeps its length, silent, and says why.
        std::filesystem::remove(f.name);
        EXPECT_EQ(sound.clipSamples(2), std::vector<uint8_t>(sound.clipByteSize(2), 0));
        EXPECT_EQ(log.count("Unable to read the sound file"), 1);
    }
}

TEST_F(SoundTest, AChannelHoldsItsSamplesOnlyWhileItPlays) {
    bztest::writeTestWav("res/a.wav", 0.2, 22050, 1);
    Sound sound;
    const int a = sound.load("res/a.wav");
    EXPECT_EQ(sound.playingBytes(), 0u);
    ASSERT_EQ(sound.play(a, 1.0f), 1);
    EXPECT_EQ(sound.playingBytes(), sound.clipByteSize(a));
    ASSERT_TRUE(waitUntilFree(1)) << "waited for the effect channel to finish";
    sound.update();
    EXPECT_EQ(sound.playingBytes(), 0u);
}

TEST_F(SoundTest, CutsPastTheDataEndAreEmptyButStillTakeTheirIds) {
    bztest::writeTestWav("res/short.wav", 1.0);
    Sound sound;
    EXPECT_EQ(sound.load("res/short.wav", {0.0f, 0.5f, 4.0f}), 0);
    ASSERT_EQ(sound.clipCount(), 3);
    EXPECT_EQ(sound.clipByteSize(1), 4u * 22050);
    EXPECT_EQ(sound.clipByteSize(2), 0u);
    EXPECT_EQ(sound.play(2, 1.0f), 1);  // an empty clip plays like any other
}

TEST_F(SoundTest, MissingAndUndecodableFiles) {
    std::ofstream("res/bad.wav") << "not a wav";
    bztest::writeTestWav("res/good.wav", 0.1);
    Sound sound;
    EXPECT_EQ(sound.load("no_such_member"), -1);
    EXPECT_EQ(sound.clipCount(), 0);
    // An undecodable file still takes its ids (empty), so later ids do not move.
    EXPECT_EQ(sound.load("res/bad.wav", {0.0f, 1.0f}), 0);
    EXPECT_EQ(sound.load("res/good.wav"), 2);
    EXPECT_EQ(sound.clipByteSize(0), 0u);
}

TEST_F(SoundTest, StopsAtAThousandClips) {
    bztest::writeTestWav("res/tiny.wav", 0.5);
    std::vector<float> cuts;
    for (int i = 0; i < 600; ++i) cuts.push_back(float(i) * 0.0005f);
    Sound sound;
    EXPECT_EQ(sound.load("res/tiny.wav", cuts), 0);
    EXPECT_EQ(sound.load("res/tiny.wav", cuts), 600);
    EXPECT_EQ(sound.clipCount(), Sound::kMaxClips);
    EXPECT_EQ(sound.load("res/tiny.wav"), Sound::kMaxClips);
    EXPECT_EQ(sound.clipCount(), Sound::kMaxClips);
}

TEST_F(SoundTest, EffectsTakeTheLowestFreeChannelAndTheEleventhIsDropped) {
    bztest::writeTestWav("res/long.wav", 2.0);
    Sound sound;
    ASSERT_EQ(sound.load("res/long.wav"), 0);
    for (int channel = 1; channel <= 10; ++channel) EXPECT_EQ(sound.play(0, 0.5f), channel);
    EXPECT_EQ(Mix_Volume(3, -1), 64);
    EXPECT_EQ(sound.play(0, 1.0f), -1);
    // Announcements have a channel of their own.
    sound.queue(0, 0.001f);
    EXPECT_EQ(Mix_Playing(0), 1);
    EXPECT_EQ(Mix_Volume(0, -1), 1);
    EXPECT_EQ(sound.play(-1, 1.0f), -1);
    EXPECT_EQ(sound.play(1, 1.0f), -1);
    Mix_HaltChannel(-1);
}

TEST_F(SoundTest, AnnouncementsPlayOneAfterAnotherInOrder) {
    bztest::writeTestWav("res/a.wav", 0.2);
    bztest::writeTestWav("res/b.wav", 0.2);
    Sound sound;
    const int a = sound.load("res/a.wav");
    const int b = sound.load("res/b.wav");
    sound.queue(a, 1.0f);
    sound.queue(b, 0.25f);
    ASSERT_EQ(Mix_Playing(0), 1);
    EXPECT_TRUE(playsSamples(0, sound.clipSamples(a)));
    EXPECT_EQ(sound.queuedCount(), 1u);
    sound.update();  // a still plays: b waits
    EXPECT_EQ(sound.queuedCount(), 1u);
    ASSERT_TRUE(waitUntilFree(0));
    sound.update();
    EXPECT_EQ(sound.queuedCount(), 0u);
    EXPECT_TRUE(playsSamples(0, sound.clipSamples(b)));
    EXPECT_EQ(Mix_Volume(0, -1), 32);
    Mix_HaltChannel(-1);
}

TEST_F(SoundTest, WithoutADeviceEverythingIsSilent) {
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    bztest::writeTestWav("res/a.wav", 0.1);
    Sound sound;
    EXPECT_FALSE(sound.initialised());
    EXPECT_EQ(sound.load("res/a.wav"), -1);
    EXPECT_EQ(sound.play(0, 1.0f), -1);
    sound.queue(0, 1.0f);
    sound.update();
    EXPECT_EQ(sound.queuedCount(), 0u);
}

TEST_F(SoundTest, CloseSilencesTheEngine) {
    bztest::writeTestWav("res/a.wav", 0.1);
    Sound sound;
    ASSERT_EQ(sound.load("res/a.wav"), 0);
    sound.close();
    EXPECT_FALSE(sound.initialised());
    EXPECT_EQ(sound.play(0, 1.0f), -1);
}

}  // namespace
