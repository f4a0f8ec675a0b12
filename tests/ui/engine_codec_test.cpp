// Text conversions, JSON and the frame decoding of the browser-engine layer.
#include "ui/engine/frame_decoder.h"
#include "ui/engine/web_json.h"
#include "ui/engine/web_string.h"

#include <gtest/gtest.h>

#include <spng.h>

#include <malloc.h>

#include "support/captured_log.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

using namespace bzweb;

namespace {

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgba, uint32_t w, uint32_t h, int filters = SPNG_FILTER_CHOICE_ALL,
                               uint8_t colorType = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_option(ctx, SPNG_FILTER_CHOICE, filters);
    spng_ihdr ihdr{};
    ihdr.width = w;
    ihdr.height = h;
    ihdr.bit_depth = 8;
    ihdr.color_type = colorType;
    spng_set_ihdr(ctx, &ihdr);
    int rc = spng_encode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t size = 0;
    void* data = rc == 0 ? spng_get_png_buffer(ctx, &size, &rc) : nullptr;
    std::vector<uint8_t> out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    free(data);
    spng_ctx_free(ctx);
    return out;
}

TEST(WebStringTest, Utf8AndUtf16) {
    std::u16string u;
    ASSERT_TRUE(Utf8ToUtf16("a\xc3\xa9\xe2\x9c\x93\xf0\x9f\x98\x80", u));
    EXPECT_EQ(u, std::u16string(u"a\u00e9\u2713\U0001F600"));
    EXPECT_EQ(Utf16ToUtf8(u), "a\xc3\xa9\xe2\x9c\x93\xf0\x9f\x98\x80");
    for (const char* bad : {"\xc3", "\xe2\x9c", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xff", "a\x80"}) {
        std::u16string out;
        EXPECT_FALSE(Utf8ToUtf16(bad, out)) << bad;
    }
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
}

TEST(WebJsonTest, ParseAndWriteNeverThrow) {
    auto v = ParseJson("{\"requestName\":\"lobbyPlayTable\",\"tablenumber\":3}");
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)["tablenumber"], 3);
    EXPECT_FALSE(ParseJson("{\"a\":"));
    EXPECT_FALSE(ParseJson("{} trailing"));
    EXPECT_EQ(WriteJson(JsonValue{{"result", 0}}), "{\"result\":0}");
    EXPECT_EQ(WriteJson(JsonValue("bad \xff text")), "\"bad \xef\xbf\xbd text\"");
}

TEST(FrameDecoderTest, Base64BothWaysAndRejectsForeignCharacters) {
    std::vector<uint8_t> out;
    for (std::string s : std::vector<std::string>{"", "f", "fo", "foo", "foob", "fooba", "foobar", std::string("\0\xff\x10", 3)}) {
        std::string enc = EncodeBase64(s);
        ASSERT_TRUE(DecodeBase64(enc, out)) << enc;
        EXPECT_EQ(std::string(out.begin(), out.end()), s);
    }
    EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_FALSE(DecodeBase64("Zm9v\"mFy", out));
    EXPECT_FALSE(DecodeBase64("Z", out));
}

TEST(FrameDecoderTest, PremultipliedRgbaBecomesStraightBgra) {
    // Opaque, transparent, half-covered (100,50,25 premultiplied by 128) and a colour brighter than
    // its alpha allows (clamped).
    std::vector<uint8_t> rgba = {255, 0, 0, 255, 9, 9, 9, 0, 100, 50, 26, 128, 200, 10, 10, 100};
    std::vector<uint8_t> bgra(rgba.size());
    RgbaToBgra(rgba.data(), bgra.data(), 4, true);
    EXPECT_EQ(std::vector<uint8_t>(bgra.begin(), bgra.begin() + 8), (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bgra.begin() + 8, bgra.begin() + 12), (std::vector<uint8_t>{52, 100, 199, 128}));
    EXPECT_EQ(bgra[14], 255);
    RgbaToBgra(rgba.data(), bgra.data(), 4, false);
    EXPECT_EQ(std::vector<uint8_t>(bgra.begin() + 8, bgra.begin() + 12), (std::vector<uint8_t>{26, 50, 100, 128}));

    // Through a real PNG of 3 x 2 pixels.
    std::vector<uint8_t> image = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
                                  0, 0, 0, 0, 100, 50, 26, 128, 255, 255, 255, 255};
    std::vector<uint8_t> png = EncodePng(image, 3, 2);
    ASSERT_FALSE(png.empty());
    int w = 0, h = 0;
    ASSERT_TRUE(DecodePngToBgra(png.data(), png.size(), true, bgra, w, h));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    ASSERT_EQ(bgra.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(bgra.begin(), bgra.begin() + 4), (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(std::vector<uint8_t>(bgra.begin() + 16, bgra.begin() + 20), (std::vector<uint8_t>{52, 100, 199, 128}));

    // Cut short or not a PNG at all: no pixels, no crash.
    EXPECT_FALSE(DecodePngToBgra(png.data(), png.size() / 2, true, bgra, w, h));
    const uint8_t junk[] = "definitely not a png";
    EXPECT_FALSE(DecodePngToBgra(junk, sizeof junk, true, bgra, w, h));
}

TEST(FrameDecoderTest, EveryColourAndAlphaUnpremultipliesExactlyInRunsAndAlone) {
    // Every channel value under every alpha, each pixel twice in a row and then once after a pixel
    // that differs from it in one channel only, so that reused results are checked as well as fresh ones.
    // c * 255 / a in 16.16 fixed point, as frames have always been decoded (ties do not all round
    // the same way, so the exact quotient is no reference); black where nothing covers.
    auto want = [](uint32_t c, uint32_t a) -> uint8_t {
        return a == 0 ? 0 : uint8_t(std::min<uint32_t>(255, (c * ((255u * 65536u + a / 2) / a) + 0x8000) >> 16));
    };
    std::vector<uint8_t> rgba;
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t c = 0; c < 256; ++c) {
            const uint8_t px[4] = {uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), uint8_t(a)};
            const uint8_t near[4] = {uint8_t(c), uint8_t(255 - c), uint8_t(c / 2 + 1), uint8_t(a)};
            for (const uint8_t* p : {px, px, near, px}) rgba.insert(rgba.end(), p, p + 4);
        }
    }
    std::vector<uint8_t> bgra(rgba.size());
    RgbaToBgra(rgba.data(), bgra.data(), rgba.size() / 4, true);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        const uint8_t* in = &rgba[i];
        const uint8_t expected[4] = {want(in[2], in[3]), want(in[1], in[3]), want(in[0], in[3]), in[3]};
        ASSERT_EQ(std::memcmp(&bgra[i], expected, 4), 0) << "rgba " << int(in[0]) << "," << int(in[1]) << ","
                                                          << int(in[2]) << "," << int(in[3]) << " at pixel " << i / 4;
    }
}

uint32_t ReadBe32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

// The same PNG with its image data spread over IDAT chunks of at most `piece` bytes (checksums left
// as they are: the decoder does not read them).
std::vector<uint8_t> SplitIdat(const std::vector<uint8_t>& png, size_t piece) {
    std::vector<uint8_t> out(png.begin(), png.begin() + 8);
    for (size_t p = 8; p + 12 <= png.size();) {
        size_t length = ReadBe32(&png[p]);
        const uint8_t* data = &png[p + 8];
        if (std::memcmp(&png[p + 4], "IDAT", 4) != 0) {
            out.insert(out.end(), png.begin() + p, png.begin() + p + 12 + length);
        } else {
            for (size_t at = 0; at < length; at += piece) {
                uint32_t n = static_cast<uint32_t>(std::min(piece, length - at));
                uint8_t head[8] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 'I', 'D', 'A', 'T'};
                out.insert(out.end(), head, head + 8);
                out.insert(out.end(), data + at, data + at + n);
                out.insert(out.end(), 4, 0);
            }
        }
        p += 12 + length;
    }
    return out;
}

// What the PNG library makes of a PNG, as straight BGRA.
std::vector<uint8_t> ReferenceBgra(const std::vector<uint8_t>& png) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    size_t size = 0;
    spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
    std::vector<uint8_t> rgba(size), bgra(size);
    EXPECT_EQ(spng_decode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_RGBA8, 0), 0);
    spng_ctx_free(ctx);
    RgbaToBgra(rgba.data(), bgra.data(), size / 4, true);
    return bgra;
}

TEST(FrameDecoderTest, EveryRowFilterAndChunkingDecodesLikeThePngLibrary) {
    // Gradients, noise and translucent areas, so that every filter has something to undo.
    const uint32_t w = 37, h = 23;
    std::vector<uint8_t> image(size_t(w) * h * 4);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* px = &image[(size_t(y) * w + x) * 4];
            seed = seed * 1103515245u + 12345u;
            uint8_t a = x < 10 ? 255 : x < 20 ? static_cast<uint8_t>(y * 11) : static_cast<uint8_t>(seed >> 24);
            px[0] = static_cast<uint8_t>(std::min<uint32_t>(a, x * 7));
            px[1] = static_cast<uint8_t>(std::min<uint32_t>(a, y * 9));
            px[2] = static_cast<uint8_t>(std::min<uint32_t>(a, (seed >> 16) & 0xFF));
            px[3] = a;
        }
    }
    for (int filter : {SPNG_FILTER_CHOICE_NONE, SPNG_FILTER_CHOICE_SUB, SPNG_FILTER_CHOICE_UP, SPNG_FILTER_CHOICE_AVG,
                       SPNG_FILTER_CHOICE_PAETH, SPNG_FILTER_CHOICE_ALL}) {
        SCOPED_TRACE(filter);
        std::vector<uint8_t> png = EncodePng(image, w, h, filter);
        ASSERT_FALSE(png.empty());
        std::vector<uint8_t> want = ReferenceBgra(png);
        for (size_t piece : {size_t(1) << 20, size_t(7)}) {
            std::vector<uint8_t> split = SplitIdat(png, piece), bgra;
            int dw = 0, dh = 0;
            ASSERT_TRUE(DecodePngToBgra(split.data(), split.size(), true, bgra, dw, dh));
            EXPECT_EQ(dw, int(w));
            EXPECT_EQ(dh, int(h));
            EXPECT_EQ(bgra, want);
        }
    }

    // Damaged image data or a chunk running past the end: refused, not half decoded.
    std::vector<uint8_t> png = EncodePng(image, w, h);
    std::vector<uint8_t> bgra;
    int dw = 0, dh = 0;
    std::vector<uint8_t> damaged = png;
    damaged[8 + 25 + 8 + 10] ^= 0x55;
    EXPECT_FALSE(DecodePngToBgra(damaged.data(), damaged.size(), true, bgra, dw, dh));
    std::vector<uint8_t> overlong = png;
    overlong[8 + 25] = 0x7F;
    EXPECT_FALSE(DecodePngToBgra(overlong.data(), overlong.size(), true, bgra, dw, dh));

    // Another kind of PNG (RGB without alpha) still decodes, as opaque pixels.
    std::vector<uint8_t> rgb = {10, 20, 30, 40, 50, 60};
    std::vector<uint8_t> opaque = EncodePng(rgb, 2, 1, SPNG_FILTER_CHOICE_ALL, SPNG_COLOR_TYPE_TRUECOLOR);
    ASSERT_TRUE(DecodePngToBgra(opaque.data(), opaque.size(), true, bgra, dw, dh));
    EXPECT_EQ(bgra, (std::vector<uint8_t>{30, 20, 10, 255, 60, 50, 40, 255}));
}

// A header asking for 16384 x 16384 pixels over next to no image data: 57 bytes of 8-bit RGBA with
// an empty IDAT (the fast path), 29 bytes of grey without even the header's checksum (the library).
TEST(FrameDecoderTest, AHeaderIsNotTrustedForMoreThanItsDataOrItsViewCanHold) {
    const std::vector<uint8_t> rgbaEmptyData = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x40,
        0x00, 0x00, 0x00, 0x40, 0x00, 0x08, 0x06, 0x00, 0x00, 0x00, 0xa9, 0xc8, 0x10, 0x84, 0x00, 0x00, 0x00, 0x00, 0x49,
        0x44, 0x41, 0x54, 0x35, 0xaf, 0x06, 0x1e, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    const std::vector<uint8_t> greyHeaderOnly = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00,
                                                 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x40, 0x00,
                                                 0x00, 0x00, 0x40, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00};
    for (const auto* png : {&rgbaEmptyData, &greyHeaderOnly}) {
        SCOPED_TRACE(png->size());
        const size_t heldBefore = mallinfo2().hblkhd;
        std::vector<uint8_t> bgra;
        int w = 0, h = 0;
        EXPECT_FALSE(DecodePngToBgra(png->data(), png->size(), true, bgra, w, h));
        EXPECT_LT(bgra.capacity(), size_t(1) << 20);
        // Nothing of the image's size is kept by the decoding thread either.
        EXPECT_LT(mallinfo2().hblkhd, heldBefore + (size_t(16) << 20));
    }

    // A sound image is decoded up to the bound it is given, and refused beyond it.
    std::vector<uint8_t> image(3 * 2 * 4, 200);
    for (int colourType : {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, SPNG_COLOR_TYPE_TRUECOLOR}) {
        std::vector<uint8_t> png = EncodePng(std::vector<uint8_t>(image.begin(), image.begin() + (colourType == 6 ? 24 : 18)),
                                             3, 2, SPNG_FILTER_CHOICE_ALL, uint8_t(colourType));
        std::vector<uint8_t> bgra;
        int w = 0, h = 0;
        EXPECT_TRUE(DecodePngToBgra(png.data(), png.size(), true, bgra, w, h, 3, 2));
        EXPECT_FALSE(DecodePngToBgra(png.data(), png.size(), true, bgra, w, h, 2, 2));
        EXPECT_FALSE(DecodePngToBgra(png.data(), png.size(), true, bgra, w, h, 3, 1));
    }
}

TEST(FrameDecoderTest, ThePoolKeepsTheNewestFrameOfEachView) {
    std::vector<uint8_t> red = {255, 0, 0, 255}, green = {0, 255, 0, 255};
    auto message = [](const std::vector<uint8_t>& png, size_t& offset, size_t& length) {
        std::string head = "{\"data\":\"";
        std::string data = EncodeBase64(std::string(png.begin(), png.end()));
        offset = head.size();
        length = data.size();
        return head + data + "\"}";
    };
    bztest::CapturedLog log;
    FrameDecoderPool pool(2, {});
    for (const char* view : {"a", "c", "d"}) pool.SetViewSize(view, 1, 1);
    size_t off = 0, len = 0;
    std::string m1 = message(EncodePng(red, 1, 1), off, len);
    pool.Submit("a", m1, off, len);
    std::string m2 = message(EncodePng(green, 1, 1), off, len);
    pool.Submit("a", m2, off, len);
    pool.Submit("b", "{\"data\":\"!!!!\"}", 9, 4);  // undecodable: dropped
    std::string m3 = message(EncodePng(red, 1, 1), off, len);
    pool.Submit("c", m3, off, len);
    std::string wide = message(EncodePng({1, 2, 3, 255, 4, 5, 6, 255}, 2, 1), off, len);
    pool.Submit("d", wide, off, len);  // larger than its view: dropped
    std::string m4 = message(EncodePng(red, 1, 1), off, len);
    pool.Submit("e", m4, off, len);  // a view of unknown size gets nothing

    std::vector<DecodedFrame> frames;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::map<std::string, std::vector<uint8_t>> last;
    while (std::chrono::steady_clock::now() < end && !(last.count("a") && last["a"][1] == 255 && last.count("c"))) {
        frames.clear();
        pool.TakeReady(frames);
        for (auto& f : frames) last[f.session] = f.pixels;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(last.count("a"));
    EXPECT_EQ(last["a"], (std::vector<uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(last["c"], (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_FALSE(last.count("b"));
    EXPECT_FALSE(last.count("d"));
    EXPECT_FALSE(last.count("e"));
    while (std::chrono::steady_clock::now() < end && log.count("larger than its view") < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(log.count("frame of 2 x 1 larger than its view (1 x 1) dropped"), 1);
    EXPECT_EQ(log.count("frame of 1 x 1 larger than its view (0 x 0) dropped"), 1);
}

TEST(FrameDecoderTest, AViewForgottenWhileItsFrameIsQueuedOrDecodingLeavesNoEntry) {
    std::mutex m;
    std::condition_variable cv;
    int readyCalls = 0;
    bool gateOpen = false;
    auto waitFor = [&](auto pred) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::seconds(30), pred);
    };
    // One worker; its ready call waits at the gate, so the test knows what the worker is doing.
    FrameDecoderPool pool(1, [&] {
        std::unique_lock<std::mutex> lock(m);
        ++readyCalls;
        cv.notify_all();
        cv.wait(lock, [&] { return gateOpen; });
    });
    std::string head = "{\"data\":\"";
    std::vector<uint8_t> red = {255, 0, 0, 255};
    auto png = EncodePng(red, 1, 1);
    std::string frame = head + EncodeBase64(std::string(png.begin(), png.end())) + "\"}";
    const size_t len = frame.size() - head.size() - 2;

    for (const char* view : {"x", "a", "b", "z"}) pool.SetViewSize(view, 1, 1);
    // Queued behind a decode: the worker is held in the ready call of "x" while "a" is submitted and forgotten.
    pool.Submit("x", frame, head.size(), len);
    ASSERT_TRUE(waitFor([&] { return readyCalls == 1; }));
    pool.Submit("a", frame, head.size(), len);
    pool.Forget("a");
    {
        std::lock_guard<std::mutex> lock(m);
        gateOpen = true;
    }
    cv.notify_all();

    // Being decoded: a long frame (undecodable only at its very end) forgotten just after it went in.
    std::string slow = head + std::string(size_t(64) << 20, 'A') + "!\"}";
    pool.Submit("b", slow, head.size(), slow.size() - head.size() - 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pool.Forget("b");
    // One worker takes views in order: once "z" is ready, "a" and "b" are behind it.
    pool.Submit("z", frame, head.size(), len);
    ASSERT_TRUE(waitFor([&] { return readyCalls == 2; }));

    std::vector<DecodedFrame> frames;
    pool.TakeReady(frames);
    std::vector<std::string> sessions;
    for (auto& f : frames) sessions.push_back(f.session);
    std::sort(sessions.begin(), sessions.end());
    EXPECT_EQ(sessions, (std::vector<std::string>{"x", "z"}));
    EXPECT_EQ(pool.TrackedViews(), 2u);
    pool.Forget("x");
    pool.Forget("z");
    EXPECT_EQ(pool.TrackedViews(), 0u);
}

TEST(FrameDecoderTest, AQuietPoolLetsGoOfItsBuffersAndStillDecodesTheNextFrame) {
    const uint32_t side = 64;
    auto frameOf = [&](uint8_t red, size_t& offset, size_t& length) {
        std::vector<uint8_t> rgba(size_t(side) * side * 4, 255);
        for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = red, rgba[i + 1] = uint8_t(i >> 4);
        const std::vector<uint8_t> png = EncodePng(rgba, side, side);
        const std::string head = "{\"data\":\"", data = EncodeBase64(std::string(png.begin(), png.end()));
        offset = head.size();
        length = data.size();
        return head + data + "\"}";
    };
    std::atomic<size_t> heldAtReady{0};
    // The ready call runs on the worker between its decode and its next wait: what it holds is counted.
    FrameDecoderPool pool(1, [&] { heldAtReady = pool.HeldBytes(); }, std::chrono::milliseconds(50));
    pool.SetViewSize("v", int(side), int(side));
    auto held = [&] { return pool.HeldBytes(); };
    auto until = [](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    };
    for (uint8_t red : {10, 200}) {
        SCOPED_TRACE(int(red));
        size_t offset = 0, length = 0;
        std::string message = frameOf(red, offset, length);
        pool.Submit("v", std::move(message), offset, length);
        std::vector<DecodedFrame> frames;
        ASSERT_TRUE(until([&] { pool.TakeReady(frames); return !frames.empty(); }));
        ASSERT_EQ(frames[0].pixels.size(), size_t(side) * side * 4);
        EXPECT_EQ(frames[0].pixels[2], red);  // BGRA
        EXPECT_EQ(frames[0].pixels[4 * 100 + 1], uint8_t(400 >> 4));
        EXPECT_GE(heldAtReady.load(), frames[0].pixels.size());
        pool.Recycle(std::move(frames[0].pixels));
        EXPECT_TRUE(until([&] { return held() == 0; })) << held() << " bytes still held";
    }
}

}  // namespace
