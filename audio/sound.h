// The audio engine: one SDL_mixer device, WAV sounds cut into clips, effects on the first free
// channel and announcements one after another on channel 0. No positional audio. Main thread only.
// A sound is kept as its file gives it (16-bit mono at the recording's rate, as a rule, a quarter of
// the device format); a clip is turned into the device format when it starts, into a buffer of its
// channel that is let go once the channel has finished (the mixer's thread reads only buffers of
// playing channels). A long file's samples are not kept at all: each clip reads its stretch from
// where the file lies when it starts (a second of speech, well under a millisecond).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct Mix_Chunk;

class Sound {
public:
    static constexpr int kMaxClips = 1000;
    static constexpr int kRequestedChannels = 11;
    // 16-bit sample data of this many bytes or more stays in its file (the referee's announcements).
    static constexpr uint64_t kLeftInFileFrom = uint64_t(1) << 20;

    // Opens the device (44.1 kHz, signed 16-bit, stereo, 4096 frames). Without a device the engine
    // stays silent: loads return -1 and plays do nothing.
    Sound();
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Loads one WAV and cuts it at the given start times (seconds, ascending; none: one clip).
    // A name starting "res/" is read from the file system, any other from the resource archive.
    // Returns the first new clip's id, or -1 when nothing could be read.
    int load(const std::string& name, const std::vector<float>& cutTimes = {});
    // Plays once on the lowest free effect channel; returns it, or -1 when dropped.
    int play(int clip, float volume, float x = 0, float y = 0, float z = 0);
    // Appends an announcement for channel 0 and starts it when the channel is free.
    void queue(int clip, float volume, float x = 0, float y = 0, float z = 0);
    // Starts the next announcement once channel 0 has become free.
    void update();
    void setListenerPosition(float, float, float) {}
    void setListenerOrientation(float, float, float, float, float, float) {}
    // Stops every channel and closes the device; the engine is silent afterwards.
    void close();

    bool initialised() const { return initialised_; }
    int channelCount() const { return channelCount_; }
    int clipCount() const { return clipCount_; }
    size_t queuedCount() const { return queue_.size(); }
    float clipDuration(int clip) const;
    // The clip's sample bytes in the device format: their length, and the bytes as a play gives them.
    uint32_t clipByteSize(int clip) const;
    std::vector<uint8_t> clipSamples(int clip) const;
    // Bytes held for the sounds: as stored (nothing for one left in its file), and in the buffers of
    // channels that play or have not been let go yet.
    size_t storedBytes() const;
    size_t playingBytes() const;

    // Mixer volume 0..128 of a 0..1 volume: rounded, any audible volume at least 1.
    static int mixerVolume(float volume);

private:
    // One file's samples: 16-bit at its own rate and channel count when it is in that form, else
    // already in the device format. Left in its file, they are read from `name` at `fileOffset`.
    struct Source {
        std::vector<uint8_t> bytes;
        uint64_t size = 0;  // the samples' length, held or not
        int channels = 2;
        int rate = 44100;
        bool deviceFormat = true;
        std::string name;
        uint64_t fileOffset = 0;
        bool inFile() const { return !name.empty(); }
    };
    struct Clip {
        float duration = 0;
        std::shared_ptr<const Source> source;
        // Device frames [from, to) of the whole file in the device format.
        uint64_t from = 0, to = 0;
        uint32_t byteSize = 0;
    };
    struct Playing {
        std::vector<uint8_t> bytes;
        Mix_Chunk* chunk = nullptr;
    };
    struct Queued {
        int clip;
        float volume;
        float x, y, z;
    };

    void release(int channel);
    bool validClip(int clip) const { return clip >= 0 && clip < clipCount_; }
    void start(int channel, int clip, float volume);

    int channelCount_ = kRequestedChannels;
    bool initialised_ = false;
    bool openedSubsystem_ = false;
    std::unique_ptr<Clip[]> clips_;
    int clipCount_ = 0;
    int deviceRate_ = 44100, deviceChannels_ = 2;
    uint32_t deviceFrameBytes_ = 4;
    std::vector<Playing> playing_;
    std::deque<Queued> queue_;
};
