#include "render/texture_loader.h"

#include <stb/stb_image.h>

#include <climits>
#include <utility>

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

void uploadRgbaTexture(const unsigned char* pixels, int width, int height, GLenum minFilter) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
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
    uploadRgbaTexture(image.pixels, image.width, image.height, minFilter);
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
