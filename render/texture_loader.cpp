#include "render/texture_loader.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/archive.h"
#include "core/log.h"
#include "render/loading_prefetch.h"

GLenum minFilterFromName(const std::string& filterName) {
    static const std::pair<const char*, GLenum> kFilters[] = {
        {"GL_NEAREST_MIPMAP_NEAREST", GL_NEAREST_MIPMAP_NEAREST},
        {"GL_LINEAR_MIPMAP_NEAREST", GL_LINEAR_MIPMAP_NEAREST},
        {"GL_NEAREST_MIPMAP_LINEAR", GL_NEAREST_MIPMAP_LINEAR},
        {"GL_LINEAR_MIPMAP_LINEAR", GL_LINEAR_MIPMAP_LINEAR},
        {"GL_NEAREST", GL_NEAREST},
        {"GL_LINEAR", GL_LINEAR},
    };
    for (const auto& [name, filter] : kFilters) {
        if (filterName.find(name) != std::string::npos) return filter;
    }
    return GL_LINEAR_MIPMAP_LINEAR;
}

std::string texturePath(const std::string& file, const std::string& directory) {
    return directory == "." ? file : directory + "/" + file;
}

DecodedImage::~DecodedImage() {
    if (pixels) stbi_image_free(pixels);
}

void decodeArchiveImage(const std::string& path, const std::string& logName, const char* function,
                        DecodedImage& out) {
    BZFile member(path);
    if (!member.isOpen()) {
        if (function) BZ_LOG(LOG_ERROR, function, "Could not find file \"" << path << "\" in vidoda.dat");
        return;
    }
    out.found = true;
    const char* bytes = nullptr;
    out.length = member.data(&bytes);
    if (out.length > uint64_t(INT32_MAX)) {
        if (function) BZ_LOG(LOG_ERROR, function, "Texture failed to load at path: " << logName);
        return;
    }
    // Always four channels: two-channel images have no GL format of their own here, and one upload
    // path for every image keeps row lengths and alignment right.
    out.pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes), int(out.length), &out.width,
                                       &out.height, &out.channels, 4);
    if (!out.pixels && function) BZ_LOG(LOG_ERROR, function, "Texture failed to load at path: " << logName);
}

std::unique_ptr<DecodedImage> obtainImage(const std::string& path, const std::string& logName, const char* function) {
    if (LoadingPrefetcher* prefetcher = activeLoadingPrefetcher()) {
        if (std::unique_ptr<DecodedImage> image = prefetcher->takeImage(path)) return image;
    }
    auto image = std::make_unique<DecodedImage>();
    decodeArchiveImage(path, logName, function, *image);
    return image;
}

namespace {

// Mends the memory grey images held as four channels in the software GL.
// The fewest channels that hold an image exactly: grey images (the table markings, gloss maps) keep
// one channel, or two with their alpha, and the GL repeats the grey into red, green and blue when it
// samples. The software GL keeps every texture in the client's memory, at a quarter or half the size.
struct TexelLayout {
    GLint internalFormat;
    GLenum format;
    int channels;
    GLint swizzle[4];
};

constexpr TexelLayout kRgba{GL_RGBA8, GL_RGBA, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
constexpr TexelLayout kRgb{GL_RGB8, GL_RGB, 3, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
constexpr TexelLayout kGreyAlpha{GL_RG8, GL_RG, 2, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
constexpr TexelLayout kGrey{GL_R8, GL_RED, 1, {GL_RED, GL_RED, GL_RED, GL_ONE}};

const TexelLayout& layoutOf(const unsigned char* pixels, size_t count, int fileChannels) {
    bool opaque = true;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* p = pixels + i * 4;
        if (p[0] != p[1] || p[0] != p[2]) return fileChannels == 3 ? kRgb : kRgba;
        opaque = opaque && p[3] == 255;
    }
    return opaque ? kGrey : kGreyAlpha;
}

}  // namespace

void uploadRgbaTexture(const unsigned char* pixels, int width, int height, GLenum minFilter, int fileChannels) {
    const size_t count = size_t(width) * size_t(height);
    const TexelLayout& layout = layoutOf(pixels, count, fileChannels);
    std::vector<unsigned char> packed;
    if (layout.channels < 4) {
        const size_t n = size_t(layout.channels);
        packed.resize(count * n);
        for (size_t i = 0; i < count; ++i) {
            const unsigned char* p = pixels + i * 4;
            if (n == 2) {
                packed[i * 2] = p[0];
                packed[i * 2 + 1] = p[3];
            } else {
                std::copy(p, p + n, packed.begin() + std::ptrdiff_t(i * n));
            }
        }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, layout.internalFormat, width, height, 0, layout.format, GL_UNSIGNED_BYTE,
                 packed.empty() ? pixels : packed.data());
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, layout.swizzle);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

unsigned uploadDecodedImage(unsigned id, const DecodedImage& image, GLenum minFilter) {
    // A GL name is made only for a member that exists, so a missing one leaks no empty texture.
    if (!image.found) return 0;
    unsigned texture = id;
    if (texture == 0) glGenTextures(1, &texture);
    if (!image.pixels) return texture;
    glBindTexture(GL_TEXTURE_2D, texture);
    uploadRgbaTexture(image.pixels, image.width, image.height, minFilter, image.channels);
    return texture;
}

unsigned updateTextureFromFile(unsigned id, const std::string& file, const std::string& directory,
                               const std::string& filterName) {
    const auto image = obtainImage(texturePath(file, directory), file, "updateTextureFromFile");
    return uploadDecodedImage(id, *image, minFilterFromName(filterName));
}

unsigned textureFromFile(const std::string& file, const std::string& directory, const std::string& filterName) {
    return updateTextureFromFile(0, file, directory, filterName);
}
