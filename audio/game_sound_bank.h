// The game's sound bank: the one sound engine, the archive's 25 sounds loaded into clip ids by
// role, and the referee's file cut into its 360 announcements.
#pragma once

#include "audio/sound.h"
#include "core/sound_bank.h"

#include <array>

// Archive entry of each single-sound slot, in loading order; entry 9 is the referee's file.
inline constexpr std::array<int, SOUND_SINGLE_SLOTS> kSoundSlotEntries = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 13, 14, 12, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
inline constexpr int kRefereeSoundEntry = 9;

class GameSoundBank : public SoundBank {
public:
    GameSoundBank() = default;

    // Loads every sound from the resource archive (once, from the loading steps). Returns the id of
    // the last referee group's first clip, as the start-up expects (firstRefereeClip + 139).
    int loadSounds();
    // Slot s's clip id (-1: not loaded).
    int slotClip(int slot) const;

    void update() override { sound_.update(); }
    void setListenerPosition(float x, float y, float z) override { sound_.setListenerPosition(x, y, z); }
    void setListenerOrientation(float fx, float fy, float fz, float ux, float uy, float uz) override {
        sound_.setListenerOrientation(fx, fy, fz, ux, uy, uz);
    }

    Sound& engine() { return sound_; }

protected:
    void output(SoundKind kind, int clip, float volume, float x, float y, float z) override;

private:
    void assignSlot(int slot, int clip);

    Sound sound_;
    std::array<int, SOUND_SINGLE_SLOTS> slots_{};
};
