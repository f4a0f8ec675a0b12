#include "audio/game_sound_bank.h"

#include "core/archive.h"
#include "core/log.h"
#include "sounds/referee_cut_table.h"

#include <vector>

void GameSoundBank::output(SoundKind kind, int clip, float volume, float x, float y, float z) {
    if (kind == SoundKind::Referee) {
        sound_.queue(clip, volume, x, y, z);
    } else {
        sound_.play(clip, volume, x, y, z);
    }
}

int GameSoundBank::slotClip(int slot) const {
    return slot >= 0 && slot < SOUND_SINGLE_SLOTS ? slots_[size_t(slot)] : -1;
}

void GameSoundBank::assignSlot(int slot, int clip) {
    slots_[size_t(slot)] = clip;
    if (slot == 0) cueStrikeClip = clip;
    else if (slot <= 8) ballMotionClips[slot - 1] = clip;
    else if (slot <= 14) crowdClips[slot - 9] = clip;
    else if (slot == 15) shotClockClip = clip;
    else if (slot == 16) chatClip = clip;
    else if (slot == 17) kredBoxCollectedClip = clip;
    else if (slot == 18) kredBoxOpenedClip = clip;
    else if (slot == 19) arezorClip = clip;
    else if (slot == 20) cuePartsFusedClip = clip;
    else if (slot == 21) cueUsedClip = clip;
    else if (slot == 22) cuePurchasedClip = clip;
    else friendLoginClip = clip;
    // The lesson applause shares the crowd's first four slots.
    if (slot == 9) tutorialPassClip1 = clip;
    if (slot == 10) tutorialPassClip2 = clip;
    if (slot == 11) tutorialPassClip3 = clip;
    if (slot == 12) tutorialTopic16PassClip = clip;
}

int GameSoundBank::loadSounds() {
    const std::vector<float> refereeCuts(kRefereeCutTimes.begin(), kRefereeCutTimes.end());
    const ArchiveIndex& index = ArchiveIndex::instance();
    for (int slot = 0; slot < SOUND_SINGLE_SLOTS; ++slot) {
        assignSlot(slot, sound_.load(index.nameAt(size_t(kSoundSlotEntries[size_t(slot)]))));
    }
    // A referee file that did not load leaves no referee id at all, rather than ids that would
    // name other clips.
    const int referee = sound_.load(index.nameAt(kRefereeSoundEntry), refereeCuts);
    firstRefereeClip = referee >= 0 && referee + SOUND_REFEREE_CLIPS <= sound_.clipCount() ? referee : -1;
    loadedClipCount = sound_.clipCount();
    // Without a device the engine has said so once already; the game runs silent.
    if (sound_.initialised()) BZ_LOG(LOG_INFO, "loadSounds", loadedClipCount << " clips loaded");
    return firstRefereeClip >= 0 ? firstRefereeClip + 139 : -1;
}
