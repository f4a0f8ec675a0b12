// The game's sounds, as every subsystem plays them. The audio layer derives the real bank (clips
// loaded from the resource archive, played by the sound engine) and installs it with setSoundBank;
// until then getSoundBank() is a silent bank with no clips. Main thread only.
//
// Callers name clips by role through the fields below (chatClip, arezorClip, firstRefereeClip +
// k, ...). Before anything reaches the mixer a play operation checks that the id belongs to the
// group it is played as: a referee announcement must lie in the referee clips, every other play in
// the loaded single clips. A wrong id (a bad number from the server, a clip that failed to load)
// is dropped with one ERROR line.
#pragma once

// The single sounds in loading order (slots 0..23); the id in each role field is the one the loader
// gave that slot, -1 when not loaded.
inline constexpr int SOUND_SINGLE_SLOTS = 24;
// The referee announcements: firstRefereeClip + k for k in 0..359.
inline constexpr int SOUND_REFEREE_CLIPS = 360;

// What a play operation scales by and mutes with.
enum class SoundKind {
    Ball,     // volume x ball volume; muted by all or ball
    Crowd,    // volume x crowd volume; muted by all or crowd
    Referee,  // volume x referee volume, queued one after another; muted by all or referee
    Friend,   // volume unchanged; muted by all or friendMuted
    Plain,    // volume unchanged; muted by all only
};

struct SoundCategory {
    bool muted = false;
    float volume = 1.0f;  // 0..1
};

class SoundBank {
public:
    SoundBank() = default;
    virtual ~SoundBank() = default;
    SoundBank(const SoundBank&) = delete;
    SoundBank& operator=(const SoundBank&) = delete;

    // The four categories; the all-sounds record's muted flag silences everything (its volume is
    // not used). Written by the settings and the mute key.
    SoundCategory all;
    SoundCategory ball;
    SoundCategory referee;
    SoundCategory crowd;
    bool friendMuted = false;

    // Single sounds by role (slot in brackets).
    int cueStrikeClip = -1;        // [0] the cue strikes the ball
    int ballMotionClips[8] = {-1, -1, -1, -1, -1, -1, -1, -1};  // [1..8] clicks, cushions, pocket drops
    int crowdClips[6] = {-1, -1, -1, -1, -1, -1};  // [9..14] crowd reactions
    int shotClockClip = -1;        // [15] five seconds of shot time left
    int chatClip = -1;             // [16] chat line and private message
    int kredBoxCollectedClip = -1; // [17]
    int kredBoxOpenedClip = -1;    // [18]
    int arezorClip = -1;           // [19] played through play() (all-sounds mute only)
    int cuePartsFusedClip = -1;    // [20]
    int cueUsedClip = -1;          // [21]
    int cuePurchasedClip = -1;     // [22]
    int friendLoginClip = -1;      // [23]
    // Applause of a passed lesson; the loader assigns them among the crowd slots.
    int tutorialPassClip1 = -1;
    int tutorialPassClip2 = -1;
    int tutorialPassClip3 = -1;
    int tutorialTopic16PassClip = -1;
    // The first referee announcement; -1 when the referee sounds did not load (then every
    // referee id is refused).
    int firstRefereeClip = -1;
    // Ids 0..loadedClipCount-1 exist after loading (single sounds and referee clips alike).
    int loadedClipCount = 0;

    // firstRefereeClip + k, or -1 when k lies outside the referee clips or they are not loaded.
    int refereeClip(int k) const;
    // Whether the id is a loaded single sound / a loaded referee announcement.
    bool isSingleClip(int clip) const;
    bool isRefereeClip(int clip) const;

    // The play operations; position in table coordinates (the callers pass 0, 0, 0 where no place
    // applies). Each checks the clip's group, the mutes and scales the volume (clamped to 0..1).
    void playBallSound(int clip, float volume, float x = 0, float y = 0, float z = 0);
    void playCrowdSound(int clip, float volume, float x = 0, float y = 0, float z = 0);
    void playRefereeSound(int clip, float volume, float x = 0, float y = 0, float z = 0);
    void playFriendSound(int clip, float volume, float x = 0, float y = 0, float z = 0);
    void play(int clip, float volume, float x = 0, float y = 0, float z = 0);

    // Starts the next queued announcement when the previous one has ended; once per frame.
    virtual void update() {}
    virtual void setListenerPosition(float x, float y, float z) {}
    virtual void setListenerOrientation(float frontX, float frontY, float frontZ, float upX, float upY, float upZ) {}

protected:
    // A checked, unmuted request with its final volume: the engine plays it (Referee: queues it).
    virtual void output(SoundKind kind, int clip, float volume, float x, float y, float z) = 0;

private:
    void request(SoundKind kind, int clip, float volume, float x, float y, float z);
};

// The installed bank, or the silent one.
SoundBank& getSoundBank();
// Installs a bank (nullptr: the silent one again) and returns the previous one; the caller keeps
// it alive while installed.
SoundBank* setSoundBank(SoundBank* bank);
