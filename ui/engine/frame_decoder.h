// Turning the browser's screencast frames (base64 PNG with premultiplied colour) into the BGRA
// straight-alpha pixels of the paint callback, on a small pool of worker threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace bzweb {

// False on a character outside the base64 alphabet or a bad length.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out);
std::string EncodeBase64(std::string_view data);

// The largest frame side decoded at all.
inline constexpr int kMaxFrameSide = 16384;

// The image size from the PNG header; false when the bytes do not start like a PNG.
bool PngSize(const uint8_t* png, size_t size, uint32_t& width, uint32_t& height);

// Any 8-bit PNG to BGRA, top row first. With premultiplied set, the PNG's colour channels are taken
// as premultiplied by alpha and divided back out. No gamma or colour management is applied.
// An image wider or higher than the bound, or with less image data than its header needs at any
// compression, is refused before anything of its size is allocated.
bool DecodePngToBgra(const uint8_t* png, size_t size, bool premultiplied, std::vector<uint8_t>& bgra, int& width,
                     int& height, int maxWidth = kMaxFrameSide, int maxHeight = kMaxFrameSide);
// One row or image of RGBA to BGRA, dividing premultiplied colour by alpha when asked.
void RgbaToBgra(const uint8_t* rgba, uint8_t* bgra, size_t pixels, bool premultiplied);

struct DecodedFrame {
    std::string session;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Only the newest frame of a view matters (each one is the whole view), so a view has at most one
// frame waiting and one being decoded; a newer frame replaces the waiting one. Once no frame has
// come for `idleRelease`, the workers let go of the buffers they keep for the next one.
class FrameDecoderPool {
public:
    FrameDecoderPool(int threads, std::function<void()> onReady,
                     std::chrono::milliseconds idleRelease = std::chrono::seconds(2));
    ~FrameDecoderPool();

    // The size of the view's frames: a larger frame is dropped undecoded. A view whose size was
    // never given gets no frames. Main thread; frames already waiting are checked at their decode.
    void SetViewSize(const std::string& session, int width, int height);
    // message holds the whole protocol message; the base64 PNG is at [dataOffset, dataOffset + dataLength).
    void Submit(const std::string& session, std::string message, size_t dataOffset, size_t dataLength);
    // The newest decoded frame of each view since the last call.
    void TakeReady(std::vector<DecodedFrame>& out);
    // Gives a pixel buffer back for reuse.
    void Recycle(std::vector<uint8_t>&& pixels);
    // Drops what is waiting for the view; a decode in flight finishes unseen and its entry goes with it.
    void Forget(const std::string& session);
    // How many views the pool holds anything for (frames waiting, decoding or ready).
    size_t TrackedViews();
    // Bytes of pixel and decoding buffers held: frames ready, buffers kept for reuse, the workers' own.
    size_t HeldBytes();

private:
    struct Job {
        std::string message;
        size_t offset = 0;
        size_t length = 0;
        int maxWidth = 0;
        int maxHeight = 0;
    };
    struct Slot {
        int maxWidth = 0;
        int maxHeight = 0;
        std::optional<Job> waiting;
        bool busy = false;
        bool queued = false;
        bool forgotten = false;  // the view has closed: drop the entry once the worker is done with it
    };
    void Work();

    std::function<void()> onReady_;
    const std::chrono::milliseconds idleRelease_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::map<std::string, Slot> slots_;
    std::deque<std::string> queue_;
    std::map<std::string, DecodedFrame> ready_;
    std::vector<std::vector<uint8_t>> spare_;
    size_t workersHeld_ = 0;
    std::chrono::steady_clock::time_point lastFrame_;  // the last Submit
    std::vector<std::thread> threads_;
};

}  // namespace bzweb
