// A sound bank that keeps every request that passed the bank's checks: (kind, clip, final volume),
// in order. Clips are "loaded" as the test sets the role fields and loadedClipCount.
#pragma once

#include "core/sound_bank.h"

#include <vector>

namespace bztest {

class RecordingSoundBank : public SoundBank {
public:
    struct Played {
        SoundKind kind;
        int clip;
        float volume;
        bool operator==(const Played&) const = default;
    };

    // The layout of a complete load: single slots 0..23 with ids 0..23, referee clips from 24.
    RecordingSoundBank() {
        cueStrikeClip = 0;
        for (int i = 0; i < 8; ++i) ballMotionClips[i] = 1 + i;
        for (int i = 0; i < 6; ++i) crowdClips[i] = 9 + i;
        shotClockClip = 15;
        chatClip = 16;
        kredBoxCollectedClip = 17;
        kredBoxOpenedClip = 18;
        arezorClip = 19;
        cuePartsFusedClip = 20;
        cueUsedClip = 21;
        cuePurchasedClip = 22;
        friendLoginClip = 23;
        tutorialPassClip1 = 9;
        tutorialPassClip2 = 10;
        tutorialPassClip3 = 11;
        tutorialTopic16PassClip = 12;
        firstRefereeClip = 24;
        loadedClipCount = 24 + SOUND_REFEREE_CLIPS;
        previous_ = setSoundBank(this);
    }
    ~RecordingSoundBank() override { setSoundBank(previous_); }

    std::vector<Played> played;
    int updates = 0;

    void update() override { ++updates; }

protected:
    void output(SoundKind kind, int clip, float volume, float, float, float) override {
        played.push_back({kind, clip, volume});
    }

private:
    SoundBank* previous_ = nullptr;
};

}  // namespace bztest
