#include "core/sound_bank.h"

#include "core/log.h"

#include <algorithm>

namespace {

class SilentSoundBank : public SoundBank {
protected:
    void output(SoundKind, int, float, float, float, float) override {}
};

SoundBank* installed = nullptr;

const char* kindName(SoundKind kind) {
    switch (kind) {
        case SoundKind::Ball: return "ball";
        case SoundKind::Crowd: return "crowd";
        case SoundKind::Referee: return "referee";
        case SoundKind::Friend: return "friend";
        case SoundKind::Plain: return "plain";
    }
    return "?";
}

}  // namespace

int SoundBank::refereeClip(int k) const {
    if (firstRefereeClip < 0 || k < 0 || k >= SOUND_REFEREE_CLIPS) return -1;
    const int clip = firstRefereeClip + k;
    return clip < loadedClipCount ? clip : -1;
}

bool SoundBank::isRefereeClip(int clip) const {
    return firstRefereeClip >= 0 && clip >= firstRefereeClip && clip < firstRefereeClip + SOUND_REFEREE_CLIPS &&
           clip < loadedClipCount;
}

bool SoundBank::isSingleClip(int clip) const {
    return clip >= 0 && clip < loadedClipCount && !isRefereeClip(clip);
}

void SoundBank::request(SoundKind kind, int clip, float volume, float x, float y, float z) {
    const bool valid = kind == SoundKind::Referee ? isRefereeClip(clip) : isSingleClip(clip);
    if (!valid) {
        BZ_LOG(LOG_ERROR, "SoundBank", "No " << kindName(kind) << " clip " << clip << "; not played");
        return;
    }
    if (all.muted) return;
    float scale = 1.0f;
    switch (kind) {
        case SoundKind::Ball:
            if (ball.muted) return;
            scale = ball.volume;
            break;
        case SoundKind::Crowd:
            if (crowd.muted) return;
            scale = crowd.volume;
            break;
        case SoundKind::Referee:
            if (referee.muted) return;
            scale = referee.volume;
            break;
        case SoundKind::Friend:
            if (friendMuted) return;
            break;
        case SoundKind::Plain:
            break;
    }
    float level = volume * scale;
    level = level > 0.0f ? std::min(level, 1.0f) : 0.0f;  // NaN and negatives count as silence
    output(kind, clip, level, x, y, z);
}

void SoundBank::playBallSound(int clip, float volume, float x, float y, float z) {
    request(SoundKind::Ball, clip, volume, x, y, z);
}

void SoundBank::playCrowdSound(int clip, float volume, float x, float y, float z) {
    request(SoundKind::Crowd, clip, volume, x, y, z);
}

void SoundBank::playRefereeSound(int clip, float volume, float x, float y, float z) {
    request(SoundKind::Referee, clip, volume, x, y, z);
}

void SoundBank::playFriendSound(int clip, float volume, float x, float y, float z) {
    request(SoundKind::Friend, clip, volume, x, y, z);
}

void SoundBank::play(int clip, float volume, float x, float y, float z) {
    request(SoundKind::Plain, clip, volume, x, y, z);
}

SoundBank& getSoundBank() {
    static SilentSoundBank silent;
    return installed != nullptr ? *installed : silent;
}

SoundBank* setSoundBank(SoundBank* bank) {
    SoundBank* previous = installed;
    installed = bank;
    return previous;
}
