#include "audio/sound.h"

#include "audio/sound_file.h"
#include "core/log.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstring>
#include <optional>

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
    playing_.resize(size_t(std::max(channelCount_, 0)));
    initialised_ = true;
}

Sound::~Sound() { close(); }

void Sound::close() {
    if (initialised_) {
        Mix_HaltChannel(-1);
        Mix_CloseAudio();
        initialised_ = false;
    }
    // The chunks point into the channels' own buffers; with the device closed nothing reads them.
    for (int channel = 0; channel < int(playing_.size()); ++channel) release(channel);
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
// is copied to every output channel): output frames [first, first + count) of the whole file's
// conversion, so that any stretch of it comes out as it would within the whole. SDL's own converter
// resamples with a long filter that takes most of a second over the referee's speech; this is
// plenty for it.
uint64_t convertedFrames(uint64_t framesIn, int from, int to) {
    return from <= 0 ? 0 : framesIn * uint64_t(to) / uint64_t(from);
}

// Positions in the source in 16.16 fixed point.
uint64_t resampleStep(int from, int to) { return (uint64_t(from) << 16) / uint64_t(to); }

// The source frames [lo, hi] that output frames [first, first + count) blend (count > 0).
void sourceFramesOf(uint64_t framesIn, int from, int to, uint64_t first, uint64_t count, uint64_t& lo, uint64_t& hi) {
    const uint64_t step = resampleStep(from, to);
    lo = std::min((first * step) >> 16, framesIn - 1);
    hi = std::min(((first + count - 1) * step >> 16) + 1, framesIn - 1);
}

// `window` holds source frames from `windowFirst` on, at least those that sourceFramesOf names.
void convertS16(const uint8_t* window, uint64_t windowFirst, uint64_t framesIn, int channelsIn, int from,
                int channelsOut, int to, uint64_t first, uint64_t count, uint8_t* out) {
    const auto* in = reinterpret_cast<const int16_t*>(window);
    auto* dst = reinterpret_cast<int16_t*>(out);
    // Rounding to nearest in the blend.
    const uint64_t step = resampleStep(from, to);
    for (uint64_t n = 0; n < count; ++n) {
        const uint64_t at = (first + n) * step;
        const uint64_t i = std::min(at >> 16, framesIn - 1);
        const uint64_t j = std::min(i + 1, framesIn - 1);
        const int32_t t = int32_t(at & 0xFFFF);
        for (int c = 0; c < channelsOut; ++c) {
            const int source = std::min(c, channelsIn - 1);
            const int32_t a = in[(i - windowFirst) * channelsIn + source];
            const int32_t b = in[(j - windowFirst) * channelsIn + source];
            dst[n * channelsOut + c] = int16_t(a + (((b - a) * t + 0x8000) >> 16));
        }
    }
}

struct Decoded {
    std::vector<uint8_t> bytes;
    int channels = 0, rate = 0;
    bool deviceFormat = true;
    // Where the bytes lie in the file when they are its own samples and a long stretch.
    std::optional<uint64_t> fileOffset;
};

// Where samples decoded from a file lie in it, when they are its own bytes unchanged and long
// enough to be left there.
std::optional<uint64_t> placeInFile(const SoundFileBytes& file, const std::vector<uint8_t>& samples) {
    uint64_t offset = 0, length = 0;
    if (samples.size() < Sound::kLeftInFileFrom || !wavSampleData(file.data, file.size, offset, length) ||
        length < samples.size() || !std::equal(samples.begin(), samples.end(), file.data + offset)) {
        return std::nullopt;
    }
    return offset;
}

// The sound's samples: 16-bit ones as the file has them, any other kind in the device's format;
// empty when it cannot be read or decoded (the decoding failure is logged). `found` is false when
// an archive member does not exist.
Decoded decode(const std::string& name, int frequency, Uint16 format, int channels, bool& found) {
    SoundFileBytes file;
    if (!readSoundFile(name, file, found)) {
        if (found) BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: Couldn't open " << name);
        return {};
    }
    SDL_RWops* rw = SDL_RWFromConstMem(file.data, int(std::min<uint64_t>(file.size, INT32_MAX)));
    SDL_AudioSpec spec{};
    Uint8* raw = nullptr;
    Uint32 rawLength = 0;
    if (rw == nullptr || SDL_LoadWAV_RW(rw, 1, &spec, &raw, &rawLength) == nullptr) {
        BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: " << SDL_GetError());
        return {};
    }
    if (spec.format == AUDIO_S16LSB && format == AUDIO_S16LSB && spec.channels > 0 &&
        (spec.freq != frequency || spec.channels != channels)) {
        const uint32_t frameBytes = 2u * spec.channels;
        Decoded kept;
        if (spec.freq > 0 && rawLength >= frameBytes) {
            kept.bytes.assign(raw, raw + rawLength / frameBytes * frameBytes);
            kept.channels = spec.channels;
            kept.rate = spec.freq;
            kept.deviceFormat = false;
            kept.fileOffset = placeInFile(file, kept.bytes);
        }
        SDL_FreeWAV(raw);
        return kept;
    }
    std::vector<uint8_t> samples(raw, raw + rawLength);
    SDL_FreeWAV(raw);
    SDL_AudioCVT cvt;
    const int build = SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, format, Uint8(channels), frequency);
    if (build < 0) {
        BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: " << SDL_GetError());
        return {};
    }
    if (build == 0) {
        Decoded same;
        same.bytes = std::move(samples);
        same.fileOffset = placeInFile(file, same.bytes);
        return same;
    }
    cvt.len = int(samples.size());
    std::vector<uint8_t> converted(samples.size() * size_t(cvt.len_mult));
    std::copy(samples.begin(), samples.end(), converted.begin());
    cvt.buf = converted.data();
    if (SDL_ConvertAudio(&cvt) != 0) {
        BZ_LOG(LOG_ERROR, "load", "Unable to load WAV file: " << SDL_GetError());
        return {};
    }
    converted.resize(size_t(cvt.len_cvt));
    Decoded other;
    other.bytes = std::move(converted);
    return other;
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
    deviceRate_ = frequency;
    deviceChannels_ = channels;
    const int first = clipCount_;
    bool found = true;
    Decoded decoded = decode(name, frequency, format, channels, found);
    if (!found) return -1;

    const uint64_t bytesPerFrame = uint64_t(SDL_AUDIO_BITSIZE(format)) * uint64_t(channels) / 8;
    deviceFrameBytes_ = uint32_t(bytesPerFrame);
    auto source = std::make_shared<Source>();
    source->deviceFormat = decoded.deviceFormat;
    source->channels = decoded.channels;
    source->rate = decoded.rate;
    source->size = decoded.bytes.size();
    // Mends the memory a long sound held whole for the run: its clips are read from the archive as each starts.
    if (decoded.fileOffset) {
        source->name = name;
        source->fileOffset = *decoded.fileOffset;
    } else {
        source->bytes = std::move(decoded.bytes);
    }
    // The length of the whole file in the device format, which the cut times refer to.
    const uint64_t length =
        source->deviceFormat
            ? source->size
            : bytesPerFrame *
                  convertedFrames(source->size / (2u * uint64_t(source->channels)), source->rate, frequency);
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
        Clip& clip = clips_[clipCount_];
        clip.from = byteAt(start);
        clip.to = std::max(clip.from, byteAt(end));
        clip.duration = float(end - start);
        clip.byteSize = uint32_t(clip.to - clip.from);
        clip.source = source;
        ++clipCount_;
    }
    return first;
}

float Sound::clipDuration(int clip) const { return validClip(clip) ? clips_[clip].duration : 0.0f; }

uint32_t Sound::clipByteSize(int clip) const { return validClip(clip) ? clips_[clip].byteSize : 0; }

std::vector<uint8_t> Sound::clipSamples(int clip) const {
    if (!validClip(clip)) return {};
    const Clip& c = clips_[clip];
    // An empty clip still plays, over one silent frame, like the others.
    if (c.to <= c.from || !c.source) return std::vector<uint8_t>(std::max<uint32_t>(deviceFrameBytes_, 1), 0);
    const Source& source = *c.source;
    // The stretch of the file's samples the clip is made from.
    uint64_t from = c.from, to = c.to, firstFrame = 0;
    const uint64_t frameBytes = 2u * uint64_t(source.channels);
    const uint64_t first = c.from / deviceFrameBytes_, count = (c.to - c.from) / deviceFrameBytes_;
    if (!source.deviceFormat) {
        if (count == 0) return std::vector<uint8_t>(c.to - c.from, 0);
        uint64_t last = 0;
        sourceFramesOf(source.size / frameBytes, source.rate, deviceRate_, first, count, firstFrame, last);
        from = firstFrame * frameBytes;
        to = (last + 1) * frameBytes;
    }
    std::vector<uint8_t> read;
    const uint8_t* stretch = nullptr;
    if (source.inFile()) {
        if (!readSoundFileStretch(source.name, source.fileOffset + from, to - from, read)) {
            BZ_LOG(LOG_ERROR, "Sound", "Unable to read the sound file " << source.name << ": the clip plays silent");
            return std::vector<uint8_t>(c.to - c.from, 0);
        }
        if (source.deviceFormat) return read;
        stretch = read.data();
    } else {
        stretch = source.bytes.data() + from;
        if (source.deviceFormat) return {stretch, stretch + (to - from)};
    }
    std::vector<uint8_t> out(c.to - c.from);
    convertS16(stretch, firstFrame, source.size / frameBytes, source.channels, source.rate, deviceChannels_,
               deviceRate_, first, count, out.data());
    return out;
}

size_t Sound::storedBytes() const {
    size_t total = 0;
    const Source* last = nullptr;
    // The clips of one file are consecutive and share its samples.
    for (int i = 0; i < clipCount_; ++i) {
        const Source* source = clips_[i].source.get();
        if (source != nullptr && source != last) total += source->bytes.capacity();
        last = source;
    }
    return total;
}

size_t Sound::playingBytes() const {
    size_t total = 0;
    for (const Playing& p : playing_) total += p.bytes.capacity();
    return total;
}

void Sound::release(int channel) {
    Playing& p = playing_[size_t(channel)];
    if (p.chunk != nullptr) {
        // Halting takes the mixer's lock, so its thread is done with the buffer afterwards.
        if (initialised_) Mix_HaltChannel(channel);
        Mix_FreeChunk(p.chunk);
        p.chunk = nullptr;
    }
    std::vector<uint8_t>().swap(p.bytes);
}

void Sound::start(int channel, int clip, float volume) {
    Mix_Volume(channel, mixerVolume(volume));
    if (size_t(channel) >= playing_.size()) return;
    release(channel);
    Playing& p = playing_[size_t(channel)];
    p.bytes = clipSamples(clip);
    p.chunk = Mix_QuickLoad_RAW(p.bytes.data(), Uint32(p.bytes.size()));
    if (p.chunk != nullptr) Mix_PlayChannel(channel, p.chunk, 0);
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
    if (!initialised_) return;
    for (int channel = 0; channel < int(playing_.size()); ++channel)
        if (playing_[size_t(channel)].chunk != nullptr && Mix_Playing(channel) == 0) release(channel);
    if (queue_.empty() || Mix_Playing(0) != 0) return;
    const Queued next = queue_.front();
    queue_.pop_front();
    start(0, next.clip, next.volume);
}
