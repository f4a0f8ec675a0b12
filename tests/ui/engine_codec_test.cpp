// Text conversions, JSON and the frame decoding of the browser-engine layer.
#include "ui/engine/frame_decoder.h"
#include "ui/engine/web_json.h"
#include "ui/engine/web_string.h"

#include <gtest/gtest.h>

#include <spng.h>

#include <chrono>
#include <map>
#include <thread>

using namespace bzweb;

namespace {

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgba, uint32_t w, uint32_t h) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = w;
    ihdr.height = h;
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
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

TEST(FrameDecoderTest, ThePoolKeepsTheNewestFrameOfEachView) {
    std::vector<uint8_t> red = {255, 0, 0, 255}, green = {0, 255, 0, 255};
    auto message = [](const std::vector<uint8_t>& png, size_t& offset, size_t& length) {
        std::string head = "{\"data\":\"";
        std::string data = EncodeBase64(std::string(png.begin(), png.end()));
        offset = head.size();
        length = data.size();
        return head + data + "\"}";
    };
    FrameDecoderPool pool(2, {});
    size_t off = 0, len = 0;
    std::string m1 = message(EncodePng(red, 1, 1), off, len);
    pool.Submit("a", m1, off, len);
    std::string m2 = message(EncodePng(green, 1, 1), off, len);
    pool.Submit("a", m2, off, len);
    pool.Submit("b", "{\"data\":\"!!!!\"}", 9, 4);  // undecodable: dropped
    std::string m3 = message(EncodePng(red, 1, 1), off, len);
    pool.Submit("c", m3, off, len);

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
}

}  // namespace
