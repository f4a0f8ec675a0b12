#include "audio/sound.h"

#include "core/archive.h"
#include "core/log.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstring>

Sound::Sound() : clips_(new Clip[kMaxClips]) {
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            BZ_LOG(LOG_ERROR, "Sound", "Unable to initialize SDL_Mixer audio: " << SDL_GetError());
            return;
        }
        openedSubsystem_ = true;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 4096) != 0) {
        BZ_LOG(LOG_ERROR, "Sound", "Unable to initialize SDL_Mixer audio: " << Mix_GetError());
        return;
    }
    channelCount_ = Mix_AllocateChannels(kRequestedChannels);
    initialised_ = true;
}

Sound::~Sound() { close(); }

void Sound::close() {
    if (initialised_) {
        Mix_HaltChannel(-1);
        Mix_CloseAudio();
        initialised_ = false;
    }
    // The chunks point into the clips' own buffers; freeing them after the device is closed leaves
    // the buffers to the clip table.
    for (int i = 0; i < clipCount_; ++i) {
        if (clips_[i].chunk != nullptr) Mix_FreeChunk(clips_[i].chunk);
        clips_[i].chunk = nullptr;
    }
    queue_.clear();
    if (openedSubsystem_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        openedSubsystem_ = false;
    }
}

int Sound::mixerVolume(float volume) {
    if (!(volume > 0.0f)) return 0;
    const int v = int(128.0f * std::min(volume, 1.0f) + 0.5f);
    return v == 0 ? 1 : v;
}

namespace {

// Signed 16-bit frames to another rate and channel count, by linear interpolation (a mono source
// is copied to every output channel). SDL's own converter resamples with a long filter that takes
// most of a second over the referee's speech; this is plenty for it.
std::vector<uint8_t> convertS16(const uint8_t* bytes, uint32_t length, int channelsIn, int from, int channelsOut,
                                int to) {
    const size_t framesIn = length / (2 * size_t(channelsIn));
    if (framesIn == 0 || from <= 0) return {};
    const size_t framesOut = size_t(uint64_t(framesIn) * uint64_t(to) / uint64_t(from));
    std::vector<uint8_t> out(framesOut * 2 * size_t(channelsOut));
    const auto* in = reinterpret_cast<const int16_t*>(bytes);
    auto* dst = reinterpret_cast<int16_t*>(out.data());
    // Positions in 16.16 fixed point; rounding to nearest in the blend.
    const uint64_t step = (uint64_t(from) << 16) / uint64_t(to);
    for (size_t f = 0; f < framesOut; ++f) {
        const uint64_t at = f * step;
        const size_t i = std::min(size_t(at >> 16), framesIn - 1);
        const size_t j = std::min(i + 1, framesIn - 1);
        const int32_t t = int32_t(at & 0xFFFF);
        for (int c = 0; c < channelsOut; ++c) {
            const int source = std::min(c, channelsIn - 1);
            const int32_t a = in[i * channelsIn + source], b = in[j * channelsIn + source];
            dst[f * channelsOut + c] = int16_t(a + (((b - a) * t + 0x8000) >> 16));
        }
    }
    return out;
}

// The sound's samples in the device's format; empty when it cannot be read or decoded (the
// decoding failure is logged). `found` is false when an archive member does not exist.
std::vector<uint8_t> decode(const std::string& name, int frequency, Uint16 format, int channels, bool& found) {
    found = true;
    SDL_RWops* rw = nullptr;
    std::unique_ptr<BZFile> member;
    if (name.compare(0, 4, "res/") == 0) {
        rw = SDL_RWFromFile(name.c_str(), "rb");
    } else {
        member = std::make_unique<BZFile>(name);
        if (!member->isOpen()) {
            found = false;
            return {};
        }
        const char* data = nullptr;
        const uint64_t length = member->data(&data);
        rw = SDL_RWFromConstMem(data, int(std::min<uint64_t>(length, INT32_MAX)));
    }
    SDL_AudioSpec spec{};
    Uint8* raw = nullptr;
    Uint32 rawLength = 0;
    if (rw == nullptr || SDL_LoadWAV_RW(rw, 1, &spec, &raw, &rawLength) == nullptr) {
        BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: " << SDL_GetError());
        return {};
    }
    if (spec.format == AUDIO_S16LSB && format == AUDIO_S16LSB && spec.channels > 0 &&
        (spec.freq != frequency || spec.channels != channels)) {
        std::vector<uint8_t> converted = convertS16(raw, rawLength, spec.channels, spec.freq, channels, frequency);
        SDL_FreeWAV(raw);
        return converted;
    }
    std::vector<uint8_t> samples(raw, raw + rawLength);
    SDL_FreeWAV(raw);
    SDL_AudioCVT cvt;
    const int build = SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, format, Uint8(channels), frequency);
    if (build < 0) {
        BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: " << SDL_GetError());
        return {};
    }
    if (build == 0) return samples;
    cvt.len = int(samples.size());
    std::vector<uint8_t> converted(samples.size() * size_t(cvt.len_mult));
    std::copy(samples.begin(), samples.end(), converted.begin());
    cvt.buf = converted.data();
    if (SDL_ConvertAudio(&cvt) != 0) {
        BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: " << SDL_GetError());
        return {};
    }
    converted.resize(size_t(cvt.len_cvt));
    return converted;
}

}  // namespace

int Sound::load(const std::string& name, const std::vector<float>& cutTimes) {
    if (!initialised_) return -1;
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels) == 0 || frequency <= 0) {
        initialised_ = false;
        return -1;
    }
    const int first = clipCount_;
    bool found = true;
    const std::vector<uint8_t> decoded = decode(name, frequency, format, channels, found);
    if (!found) return -1;

    const uint64_t bytesPerFrame = uint64_t(SDL_AUDIO_BITSIZE(format)) * uint64_t(channels) / 8;
    const uint64_t length = decoded.size();
    const double total = bytesPerFrame > 0 ? double(length / bytesPerFrame) / frequency : 0.0;
    const std::vector<float> starts = cutTimes.empty() ? std::vector<float>{0.0f} : cutTimes;
    const auto byteAt = [&](double seconds) {
        const double frames = double(frequency) * seconds + 0.5;
        if (!(frames > 0)) return uint64_t(0);
        return std::min(bytesPerFrame * uint64_t(std::min(frames, 1e15)), length);
    };
    for (size_t i = 0; i < starts.size(); ++i) {
        if (clipCount_ >= kMaxClips) continue;
        const double start = starts[i];
        const double end = i + 1 < starts.size() ? double(starts[i + 1]) : total;
        const uint64_t from = byteAt(start);
        const uint64_t to = std::max(from, byteAt(end));
        Clip& clip = clips_[clipCount_];
        clip.duration = float(end - start);
        clip.byteSize = uint32_t(to - from);
        if (to > from) {
            clip.bytes.assign(decoded.begin() + from, decoded.begin() + to);
        } else {
            // An empty clip still gets a chunk, over one silent frame, so it plays like the others.
            clip.bytes.assign(std::max<uint64_t>(bytesPerFrame, 1), 0);
        }
        clip.chunk = Mix_QuickLoad_RAW(clip.bytes.data(), Uint32(clip.bytes.size()));
        ++clipCount_;
    }
    return first;
}

float Sound::clipDuration(int clip) const { return validClip(clip) ? clips_[clip].duration : 0.0f; }

uint32_t Sound::clipByteSize(int clip) const { return validClip(clip) ? clips_[clip].byteSize : 0; }

const uint8_t* Sound::clipData(int clip) const { return validClip(clip) ? clips_[clip].bytes.data() : nullptr; }

void Sound::start(int channel, int clip, float volume) {
    Mix_Volume(channel, mixerVolume(volume));
    if (clips_[clip].chunk != nullptr) Mix_PlayChannel(channel, clips_[clip].chunk, 0);
}

int Sound::play(int clip, float volume, float, float, float) {
    if (!initialised_ || !validClip(clip) || channelCount_ <= 1) return -1;
    for (int channel = 1; channel < channelCount_; ++channel) {
        if (Mix_Playing(channel) == 0) {
            start(channel, clip, volume);
            return channel;
        }
    }
    return -1;  // every effect channel is busy: dropped
}

void Sound::queue(int clip, float volume, float x, float y, float z) {
    if (!initialised_ || !validClip(clip)) return;
    queue_.push_back({clip, volume, x, y, z});
    update();
}

void Sound::update() {
    if (!initialised_ || queue_.empty() || Mix_Playing(0) != 0) return;
    const Queued next = queue_.front();
    queue_.pop_front();
    start(0, next.clip, next.volume);
}
