#include "ui/engine/frame_decoder.h"

#include "core/log.h"

#include <libdeflate.h>
#include <spng.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace bzweb {

namespace {

constexpr std::array<int8_t, 256> MakeBase64Table() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return t;
}
constexpr std::array<int8_t, 256> kBase64 = MakeBase64Table();

// (c * kUnpremultiply[a] + 0x8000) >> 16 == round(c * 255 / a) for c <= a.
constexpr std::array<uint32_t, 256> MakeUnpremultiplyTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t a = 1; a < 256; ++a) t[a] = (255u * 65536u + a / 2) / a;
    return t;
}
constexpr std::array<uint32_t, 256> kUnpremultiply = MakeUnpremultiplyTable();

inline uint8_t Unpremultiply(uint32_t c, uint32_t scale) {
    uint32_t v = (c * scale + 0x8000) >> 16;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// Adds the bytes of up to those of row, eight at a time without carries between bytes (the Up
// filter byte by byte is the decoder's slowest loop otherwise).
void AddBytes(uint8_t* row, const uint8_t* up, size_t length) {
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, row + i, 8);
        std::memcpy(&b, up + i, 8);
        const uint64_t sum = ((a & ~kHigh) + (b & ~kHigh)) ^ ((a ^ b) & kHigh);
        std::memcpy(row + i, &sum, 8);
    }
    for (; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + up[i]);
}

struct SpngDeleter {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Deflate codes a run of 258 bytes in no less than two bits, so zlib data never inflates to more
// than about 1032 times its size: an image whose data is shorter than that allows is damaged (or
// made to cost memory), and is refused before its size is allocated.
bool EnoughImageData(uint64_t compressed, uint64_t raw) {
    return compressed * 1032 + 1032 >= raw;
}

// The bytes of all IDAT chunks, up to IEND or a chunk that runs past the end.
uint64_t ImageDataBytes(const uint8_t* png, size_t size) {
    uint64_t total = 0;
    for (size_t p = 8; size - p >= 12;) {
        const size_t length = ReadBe32(png + p);
        if (length > size - p - 12) break;
        if (std::memcmp(png + p + 4, "IDAT", 4) == 0) total += length;
        if (std::memcmp(png + p + 4, "IEND", 4) == 0) break;
        p += length + 12;
    }
    return total;
}

// The least filtered image data the header asks for: one filter byte and the packed pixels of each
// row (halved for interlaced images, whose passes round differently).
uint64_t MinimumRawBytes(uint32_t w, uint32_t h, uint8_t depth, uint8_t colourType, bool interlaced) {
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const uint64_t rows = uint64_t(h) * ((uint64_t(w) * channels * depth + 7) / 8 + 1);
    return interlaced ? rows / 2 : rows;
}

// Per decoding thread: the inflater's tables and the buffers of the last frame, reused for the next.
struct FastScratch {
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    std::vector<uint8_t> compressed;
    std::vector<uint8_t> filtered;
    FastScratch() = default;
    FastScratch(const FastScratch&) = delete;
    FastScratch& operator=(const FastScratch&) = delete;
    ~FastScratch() { libdeflate_free_decompressor(inflater); }
};

FastScratch& ThreadScratch() {
    thread_local FastScratch scratch;
    return scratch;
}

inline uint8_t Paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes the filter of one row of 4-byte pixels in place; up is the row above, already unfiltered
// (zeros for the first row).
bool Unfilter(uint8_t type, uint8_t* row, const uint8_t* up, size_t length) {
    switch (type) {
    case 0: return true;
    case 1:
        for (size_t i = 4; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - 4]);
        return true;
    case 2: AddBytes(row, up, length); return true;
    case 3:
        for (size_t i = 0; i < length; ++i) {
            int left = i >= 4 ? row[i - 4] : 0;
            row[i] = static_cast<uint8_t>(row[i] + ((left + up[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < length; ++i) {
            int left = i >= 4 ? row[i - 4] : 0, corner = i >= 4 ? up[i - 4] : 0;
            row[i] = static_cast<uint8_t>(row[i] + Paeth(left, up[i], corner));
        }
        return true;
    }
    return false;
}

enum class FastResult { Done, NotHandled, Failed };

// The browser's frames are 8-bit RGBA without interlacing. Those are decoded here in one go: a
// whole-buffer inflate is about three times as fast as the streaming one behind the PNG library.
// Any other kind of image is left to the library.
FastResult DecodeRgba8(const uint8_t* png, size_t size, bool premultiplied, std::vector<uint8_t>& bgra, int& width,
                       int& height, uint32_t maxWidth, uint32_t maxHeight) {
    if (size < 8 + 25 || std::memcmp(png, kSignature, 8) != 0) return FastResult::NotHandled;
    const uint8_t* ihdr = png + 8;
    if (ReadBe32(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4) != 0) return FastResult::NotHandled;
    const uint32_t w = ReadBe32(ihdr + 8), h = ReadBe32(ihdr + 12);
    // Bit depth 8, colour type 6 (RGBA), standard compression and filtering, no interlacing.
    if (ihdr[16] != 8 || ihdr[17] != 6 || ihdr[18] != 0 || ihdr[19] != 0 || ihdr[20] != 0) return FastResult::NotHandled;
    if (w == 0 || h == 0 || w > maxWidth || h > maxHeight) return FastResult::Failed;

    FastScratch& scratch = ThreadScratch();
    if (!scratch.inflater) return FastResult::NotHandled;
    scratch.compressed.clear();
    const uint8_t* single = nullptr;  // the data of the only IDAT chunk, used where it lies
    size_t singleLength = 0;
    int chunks = 0;
    bool ended = false;
    for (size_t p = 8 + 25; !ended;) {
        if (size - p < 12) return FastResult::Failed;
        const size_t length = ReadBe32(png + p);
        if (length > size - p - 12) return FastResult::Failed;
        const uint8_t* type = png + p + 4;
        const uint8_t* data = png + p + 8;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (++chunks == 1) {
                single = data;
                singleLength = length;
            } else {
                if (chunks == 2) scratch.compressed.assign(single, single + singleLength);
                scratch.compressed.insert(scratch.compressed.end(), data, data + length);
            }
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        p += length + 12;
    }
    if (chunks == 0) return FastResult::Failed;
    if (chunks > 1) {
        single = scratch.compressed.data();
        singleLength = scratch.compressed.size();
    }

    const size_t stride = size_t(w) * 4;
    if (!EnoughImageData(singleLength, (stride + 1) * h)) return FastResult::Failed;
    scratch.filtered.resize((stride + 1) * h);
    // Without a place for the actual size, anything but exactly the expected amount is an error.
    if (libdeflate_zlib_decompress(scratch.inflater, single, singleLength, scratch.filtered.data(),
                                   scratch.filtered.size(), nullptr) != LIBDEFLATE_SUCCESS) {
        return FastResult::Failed;
    }
    bgra.resize(stride * h);
    static const std::vector<uint8_t> zeros(size_t(kMaxFrameSide) * 4);
    const uint8_t* up = zeros.data();
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* line = scratch.filtered.data() + y * (stride + 1);
        if (!Unfilter(line[0], line + 1, up, stride)) return FastResult::Failed;
        RgbaToBgra(line + 1, bgra.data() + y * stride, w, premultiplied);
        up = line + 1;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return FastResult::Done;
}

}  // namespace

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out) {
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    if (text.size() % 4 == 1) return false;
    out.resize(text.size() / 4 * 3 + (text.size() % 4 ? text.size() % 4 - 1 : 0));
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    uint8_t* o = out.data();
    size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        int a = kBase64[in[i]], b = kBase64[in[i + 1]], c = kBase64[in[i + 2]], d = kBase64[in[i + 3]];
        if ((a | b | c | d) < 0) return false;
        uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
        *o++ = static_cast<uint8_t>(v >> 16);
        *o++ = static_cast<uint8_t>(v >> 8);
        *o++ = static_cast<uint8_t>(v);
    }
    size_t rest = text.size() - i;
    if (rest) {
        uint32_t v = 0;
        for (size_t k = 0; k < rest; ++k) {
            int x = kBase64[in[i + k]];
            if (x < 0) return false;
            v |= static_cast<uint32_t>(x) << (18 - 6 * k);
        }
        *o++ = static_cast<uint8_t>(v >> 16);
        if (rest == 3) *o++ = static_cast<uint8_t>(v >> 8);
    }
    return true;
}

std::string EncodeBase64(std::string_view data) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(data.data());
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (size_t rest = data.size() - i) {
        uint32_t v = in[i] << 16 | (rest == 2 ? in[i + 1] << 8 : 0);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void RgbaToBgra(const uint8_t* rgba, uint8_t* bgra, size_t pixels, bool premultiplied) {
    if (!premultiplied) {
        for (size_t i = 0; i < pixels; ++i, rgba += 4, bgra += 4) {
            const uint8_t r = rgba[0], g = rgba[1], b = rgba[2], a = rgba[3];
            bgra[0] = b;
            bgra[1] = g;
            bgra[2] = r;
            bgra[3] = a;
        }
        return;
    }
    // Pages are mostly runs of one colour (clear areas, flat panels): a pixel like the one before it
    // takes the result already worked out. All zeros stays all zeros.
    uint32_t lastIn = 0, lastOut = 0;
    for (size_t i = 0; i < pixels; ++i, rgba += 4, bgra += 4) {
        uint32_t in;
        std::memcpy(&in, rgba, 4);
        if (in != lastIn) {
            const uint8_t a = rgba[3];
            uint8_t px[4] = {rgba[2], rgba[1], rgba[0], a};
            if (a == 0) {
                px[0] = px[1] = px[2] = 0;
            } else if (a != 255) {
                const uint32_t scale = kUnpremultiply[a];
                for (int c = 0; c < 3; ++c) px[c] = Unpremultiply(px[c], scale);
            }
            lastIn = in;
            std::memcpy(&lastOut, px, 4);
        }
        std::memcpy(bgra, &lastOut, 4);
    }
}

bool PngSize(const uint8_t* png, size_t size, uint32_t& width, uint32_t& height) {
    if (size < 8 + 8 + 8 || std::memcmp(png, kSignature, 8) != 0 || std::memcmp(png + 12, "IHDR", 4) != 0) return false;
    width = ReadBe32(png + 16);
    height = ReadBe32(png + 20);
    return true;
}

bool DecodePngToBgra(const uint8_t* png, size_t size, bool premultiplied, std::vector<uint8_t>& bgra, int& width,
                     int& height, int maxWidth, int maxHeight) {
    maxWidth = std::clamp(maxWidth, 0, kMaxFrameSide);
    maxHeight = std::clamp(maxHeight, 0, kMaxFrameSide);
    if (maxWidth == 0 || maxHeight == 0) return false;
    switch (DecodeRgba8(png, size, premultiplied, bgra, width, height, uint32_t(maxWidth), uint32_t(maxHeight))) {
    case FastResult::Done: return true;
    case FastResult::Failed: return false;
    case FastResult::NotHandled: break;
    }
    std::unique_ptr<spng_ctx, SpngDeleter> ctx(spng_ctx_new(0));
    if (!ctx) return false;
    // The frames come from our own child over a local pipe: checksums add nothing but time.
    spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_image_limits(ctx.get(), uint32_t(maxWidth), uint32_t(maxHeight));
    // No chunk is longer than the frame; text and other side chunks kept are of no use here.
    spng_set_chunk_limits(ctx.get(), size, size_t(1) << 20);
    if (spng_set_png_buffer(ctx.get(), png, size) != 0) return false;
    spng_ihdr ihdr{};
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return false;
    if (ihdr.width > uint32_t(maxWidth) || ihdr.height > uint32_t(maxHeight)) return false;
    if (!EnoughImageData(ImageDataBytes(png, size), MinimumRawBytes(ihdr.width, ihdr.height, ihdr.bit_depth,
                                                                     ihdr.color_type, ihdr.interlace_method != 0))) {
        return false;
    }
    size_t imageSize = 0;
    if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &imageSize) != 0) return false;
    const size_t stride = static_cast<size_t>(ihdr.width) * 4;
    if (imageSize != stride * ihdr.height) return false;
    bgra.resize(imageSize);

    if (ihdr.interlace_method != SPNG_INTERLACE_NONE) {
        std::vector<uint8_t> rgba(imageSize);
        if (spng_decode_image(ctx.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8, 0) != 0) return false;
        RgbaToBgra(rgba.data(), bgra.data(), imageSize / 4, premultiplied);
    } else {
        if (spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_PROGRESSIVE) != 0) return false;
        // Row by row, so that the swizzle works on a row still in cache.
        std::vector<uint8_t> row(stride);
        for (uint32_t y = 0; y < ihdr.height; ++y) {
            int rc = spng_decode_row(ctx.get(), row.data(), row.size());
            if (rc != 0 && !(rc == SPNG_EOI && y + 1 == ihdr.height)) return false;
            RgbaToBgra(row.data(), bgra.data() + y * stride, ihdr.width, premultiplied);
        }
    }
    width = static_cast<int>(ihdr.width);
    height = static_cast<int>(ihdr.height);
    return true;
}

FrameDecoderPool::FrameDecoderPool(int threads, std::function<void()> onReady, std::chrono::milliseconds idleRelease)
    : onReady_(std::move(onReady)), idleRelease_(idleRelease) {
    if (threads < 1) threads = 1;
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

FrameDecoderPool::~FrameDecoderPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    for (auto& t : threads_) t.join();
}

void FrameDecoderPool::SetViewSize(const std::string& session, int width, int height) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = slots_[session];
    slot.maxWidth = width;
    slot.maxHeight = height;
}

void FrameDecoderPool::Submit(const std::string& session, std::string message, size_t dataOffset, size_t dataLength) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastFrame_ = std::chrono::steady_clock::now();
        Slot& slot = slots_[session];
        slot.forgotten = false;
        slot.waiting = Job{std::move(message), dataOffset, dataLength, slot.maxWidth, slot.maxHeight};
        if (slot.busy || slot.queued) return;
        slot.queued = true;
        queue_.push_back(session);
    }
    cv_.notify_one();
}

void FrameDecoderPool::TakeReady(std::vector<DecodedFrame>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [session, frame] : ready_) out.push_back(std::move(frame));
    ready_.clear();
}

void FrameDecoderPool::Recycle(std::vector<uint8_t>&& pixels) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() < 8) spare_.push_back(std::move(pixels));
    // A worker that has let go of everything waits without a deadline: wake one, so that this
    // buffer is given back too when no frame follows.
    cv_.notify_one();
}

void FrameDecoderPool::Forget(const std::string& session) {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_.erase(session);
    auto it = slots_.find(session);
    if (it == slots_.end()) return;
    if (!it->second.busy && !it->second.queued) {
        slots_.erase(it);
        return;
    }
    it->second.waiting.reset();
    it->second.forgotten = true;
}

size_t FrameDecoderPool::TrackedViews() {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_.size();
}

size_t FrameDecoderPool::HeldBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t total = workersHeld_;
    for (const auto& pixels : spare_) total += pixels.capacity();
    for (const auto& [session, frame] : ready_) total += frame.pixels.capacity();
    return total;
}

void FrameDecoderPool::Work() {
    std::vector<uint8_t> png;
    size_t held = 0;  // this worker's part of workersHeld_
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!stop_ && queue_.empty()) {
            if (held == 0 && spare_.empty()) {
                cv_.wait(lock);
                continue;
            }
            if (cv_.wait_for(lock, idleRelease_) == std::cv_status::no_timeout || stop_ || !queue_.empty() ||
                std::chrono::steady_clock::now() - lastFrame_ < idleRelease_) {
                continue;
            }
            // The pages have been still for a while and their textures hold them: the buffers of
            // the last frames are read again only when a page changes. Give them back.
            std::vector<std::vector<uint8_t>> spare;
            spare.swap(spare_);
            workersHeld_ -= held;
            held = 0;
            lock.unlock();
            spare.clear();
            std::vector<uint8_t>().swap(png);
            std::vector<uint8_t>().swap(ThreadScratch().compressed);
            std::vector<uint8_t>().swap(ThreadScratch().filtered);
            // Freed but kept by the allocator otherwise.
            malloc_trim(0);
            lock.lock();
            continue;
        }
        if (stop_) return;
        std::string session = std::move(queue_.front());
        queue_.pop_front();
        auto it = slots_.find(session);
        if (it == slots_.end()) continue;
        Slot& slot = it->second;
        slot.queued = false;
        if (!slot.waiting) {
            if (slot.forgotten) slots_.erase(it);
            continue;
        }
        Job job = std::move(*slot.waiting);
        slot.waiting.reset();
        slot.busy = true;
        DecodedFrame frame;
        frame.session = session;
        if (!spare_.empty()) {
            frame.pixels = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();

        bool ok = DecodeBase64(std::string_view(job.message).substr(job.offset, job.length), png);
        uint32_t w = 0, h = 0;
        if (ok && PngSize(png.data(), png.size(), w, h) && (w > uint32_t(job.maxWidth) || h > uint32_t(job.maxHeight))) {
            ok = false;
            BZ_LOG(LOG_ERROR, "FrameDecoder", "frame of " << w << " x " << h << " larger than its view ("
                                                          << job.maxWidth << " x " << job.maxHeight << ") dropped");
        } else if (!ok || !DecodePngToBgra(png.data(), png.size(), true, frame.pixels, frame.width, frame.height,
                                           job.maxWidth, job.maxHeight)) {
            ok = false;
            BZ_LOG(LOG_ERROR, "FrameDecoder", "undecodable frame dropped");
        }
        job.message = std::string();
        const size_t nowHeld =
            png.capacity() + ThreadScratch().compressed.capacity() + ThreadScratch().filtered.capacity();

        lock.lock();
        workersHeld_ = workersHeld_ - held + nowHeld;
        held = nowHeld;
        auto afterIt = slots_.find(session);
        if (afterIt == slots_.end() || afterIt->second.forgotten) {
            // Closed meanwhile: nobody wants this frame.
            if (afterIt != slots_.end()) slots_.erase(afterIt);
            if (!frame.pixels.empty() && spare_.size() < 8) spare_.push_back(std::move(frame.pixels));
            continue;
        }
        Slot& after = afterIt->second;
        after.busy = false;
        if (ok) {
            DecodedFrame& slotFrame = ready_[session];
            if (!slotFrame.pixels.empty() && spare_.size() < 8) spare_.push_back(std::move(slotFrame.pixels));
            slotFrame = std::move(frame);
        }
        if (after.waiting && !after.queued) {
            after.queued = true;
            queue_.push_back(session);
            cv_.notify_one();
        }
        if (ok && onReady_) {
            lock.unlock();
            onReady_();
            lock.lock();
        }
    }
}

}  // namespace bzweb
