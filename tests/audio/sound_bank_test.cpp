#include "audio/game_sound_bank.h"
#include "core/archive.h"
#include "sounds/referee_cut_table.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The bank over the archive the build packed beside the client, on SDL's dummy driver.
class SoundBankTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ArchiveIndex::instance().useBuiltInTable();
        ArchiveIndex::instance().setBaseFolder(std::string(BZ_APP_FOLDER) + "/");
    }
    void TearDown() override {
        ArchiveIndex::instance().useBuiltInTable();
        ArchiveIndex::instance().setBaseFolder("");
    }
};

int playingChannels() { return Mix_Playing(-1); }

TEST_F(SoundBankTest, LoadsTheSlotsInOrderAndCutsTheReferee) {
    GameSoundBank bank;
    ASSERT_TRUE(bank.engine().initialised());
    EXPECT_EQ(bank.loadSounds(), 24 + 139);
    EXPECT_EQ(bank.loadedClipCount, 24 + 360);
    for (int slot = 0; slot < SOUND_SINGLE_SLOTS; ++slot) EXPECT_EQ(bank.slotClip(slot), slot);
    EXPECT_EQ(bank.cueStrikeClip, 0);
    EXPECT_EQ(bank.ballMotionClips[7], 8);
    EXPECT_EQ(bank.crowdClips[0], 9);
    EXPECT_EQ(bank.crowdClips[5], 14);
    EXPECT_EQ(bank.shotClockClip, 15);
    EXPECT_EQ(bank.chatClip, 16);
    EXPECT_EQ(bank.arezorClip, 19);
    EXPECT_EQ(bank.friendLoginClip, 23);
    EXPECT_EQ(bank.tutorialTopic16PassClip, 12);
    EXPECT_EQ(bank.firstRefereeClip, 24);
    // Clip k runs from cut k to cut k + 1.
    for (int k = 0; k + 1 < SOUND_REFEREE_CLIPS; ++k) {
        EXPECT_NEAR(bank.engine().clipDuration(24 + k), kRefereeCutTimes[k + 1] - kRefereeCutTimes[k], 1e-4) << k;
        EXPECT_GT(bank.engine().clipByteSize(24 + k), 0u) << k;
    }
    // The referee's speech stays in the archive; only the short sounds are held.
    EXPECT_LT(bank.engine().storedBytes(), size_t(4) << 20);
    const std::vector<uint8_t> last = bank.engine().clipSamples(24 + SOUND_REFEREE_CLIPS - 1);
    EXPECT_EQ(last.size(), bank.engine().clipByteSize(24 + SOUND_REFEREE_CLIPS - 1));
    EXPECT_TRUE(std::any_of(last.begin(), last.end(), [](uint8_t b) { return b != 0; }));
}

TEST_F(SoundBankTest, ARefereeFileThatFailsLeavesNoRefereeIds) {
    std::vector<ArchiveEntry> entries = ArchiveIndex::instance().entries;
    ASSERT_GT(entries.size(), size_t(kRefereeSoundEntry));
    entries[kRefereeSoundEntry].name.clear();
    ArchiveIndex::instance().replaceTable(entries, kArchivePath);
    GameSoundBank bank;
    EXPECT_EQ(bank.loadSounds(), -1);
    EXPECT_EQ(bank.firstRefereeClip, -1);
    EXPECT_EQ(bank.loadedClipCount, 24);
    for (int k : {0, 1, 36, 71, 72, 107, 139}) EXPECT_EQ(bank.refereeClip(k), -1) << k;
    // What would have been a derived id names no other clip.
    bank.playRefereeSound(-1 + 36, 1.0f);
    EXPECT_EQ(playingChannels(), 0);
    EXPECT_EQ(bank.engine().queuedCount(), 0u);
}

TEST_F(SoundBankTest, CategoryMutes) {
    GameSoundBank bank;
    bank.loadSounds();
    struct Case {
        const char* what;
        bool all, ball, referee, crowd, friends;
        bool ballPlays, refereePlays, crowdPlays, friendPlays, plainPlays;
    } cases[] = {
        {"nothing muted", false, false, false, false, false, true, true, true, true, true},
        {"all muted", true, false, false, false, false, false, false, false, false, false},
        {"ball muted", false, true, false, false, false, false, true, true, true, true},
        {"referee muted", false, false, true, false, false, true, false, true, true, true},
        {"crowd muted", false, false, false, true, false, true, true, false, true, true},
        {"friend muted", false, false, false, false, true, true, true, true, false, true},
    };
    for (const Case& c : cases) {
        bank.all.muted = c.all;
        bank.ball.muted = c.ball;
        bank.referee.muted = c.referee;
        bank.crowd.muted = c.crowd;
        bank.friendMuted = c.friends;
        const auto plays = [&](auto request) {
            Mix_HaltChannel(-1);
            request();
            return playingChannels() == 1;
        };
        EXPECT_EQ(plays([&] { bank.playBallSound(bank.cueStrikeClip, 1.0f); }), c.ballPlays) << c.what;
        EXPECT_EQ(plays([&] { bank.playRefereeSound(bank.refereeClip(3), 1.0f); }), c.refereePlays) << c.what;
        EXPECT_EQ(plays([&] { bank.playCrowdSound(bank.crowdClips[0], 1.0f); }), c.crowdPlays) << c.what;
        EXPECT_EQ(plays([&] { bank.playFriendSound(bank.friendLoginClip, 1.0f); }), c.friendPlays) << c.what;
        EXPECT_EQ(plays([&] { bank.play(bank.arezorClip, 1.0f); }), c.plainPlays) << c.what;
    }
    Mix_HaltChannel(-1);
}

TEST_F(SoundBankTest, CategoryVolumesScaleTheMixerVolume) {
    GameSoundBank bank;
    bank.loadSounds();
    bank.ball.volume = 0.5f;
    bank.playBallSound(bank.cueStrikeClip, 1.0f);
    EXPECT_EQ(Mix_Volume(1, -1), 64);
    bank.playBallSound(bank.ballMotionClips[0], 0.001f);
    EXPECT_EQ(Mix_Volume(2, -1), 1);
    bank.referee.volume = 0.25f;
    bank.playRefereeSound(bank.refereeClip(0), 1.0f);
    EXPECT_EQ(Mix_Volume(0, -1), 32);
    Mix_HaltChannel(-1);
}

TEST_F(SoundBankTest, ARefereeRequestDuringAnotherKeepsItsVolume) {
    GameSoundBank bank;
    bank.loadSounds();
    bank.playRefereeSound(bank.refereeClip(0), 1.0f);
    bank.referee.volume = 0.5f;
    bank.playRefereeSound(bank.refereeClip(1), 1.0f);
    bank.referee.volume = 1.0f;
    EXPECT_EQ(bank.engine().queuedCount(), 1u);
    Mix_HaltChannel(0);
    bank.update();
    EXPECT_EQ(bank.engine().queuedCount(), 0u);
    EXPECT_EQ(Mix_Volume(0, -1), 64);
    Mix_HaltChannel(-1);
}

}  // namespace
