// Feeds arbitrary bytes to the frame decoder as a view of 64 x 48 pixels would (the first byte picks
// whether the input is taken as base64 text, as frames arrive, or as the PNG itself), and checks
// that a decoded frame fits the view and fills its buffer exactly.
#include "ui/engine/frame_decoder.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool asText = data[0] & 1;
    ++data;
    --size;
    std::vector<uint8_t> png(data, data + size);
    if (asText) {
        if (!bzweb::DecodeBase64(std::string_view(reinterpret_cast<const char*>(data), size), png)) return 0;
        check(bzweb::EncodeBase64(std::string_view(reinterpret_cast<const char*>(png.data()), png.size())).size() % 4 == 0);
    }
    std::vector<uint8_t> bgra;
    int width = 0, height = 0;
    if (!bzweb::DecodePngToBgra(png.data(), png.size(), true, bgra, width, height, 64, 48)) return 0;
    check(width >= 1 && width <= 64 && height >= 1 && height <= 48);
    check(bgra.size() == size_t(width) * height * 4);
    return 0;
}
