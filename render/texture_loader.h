// Image members of the resource archive turned into GL textures (decoded with stb_image).
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <string>

// The minifying filter a filter name selects: the first of the six GL filter names contained in it,
// the mipmap names tried first; none gives GL_LINEAR_MIPMAP_LINEAR.
GLenum minFilterFromName(const std::string& filterName);

// The member path of a file: the file itself when the directory is ".", else directory/file.
std::string texturePath(const std::string& file, const std::string& directory);

// Uploads the image into texture `id` (0: a new texture). Every image is decoded to four channels
// and uploaded as RGBA. Returns 0 when the member is missing; no GL name is made for it then.
unsigned updateTextureFromFile(unsigned id, const std::string& file, const std::string& directory,
                               const std::string& filterName);
unsigned textureFromFile(const std::string& file, const std::string& directory, const std::string& filterName);

// RGBA pixels decoded from an archive member; empty when the member is missing or undecodable.
struct DecodedImage {
    unsigned char* pixels = nullptr;  // stb_image's buffer, freed by the destructor
    int width = 0;
    int height = 0;
    int channels = 0;  // as stored in the file
    uint64_t length = 0;  // bytes of the member
    bool found = false;   // the member exists
    bool shaded = false;  // the markings' darkening is baked in already
    DecodedImage() = default;
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;
    ~DecodedImage();
};
// Logs under `function` as the loaders do: a missing member, or an image that does not decode; a
// null function decodes silently.
void decodeArchiveImage(const std::string& path, const std::string& logName, const char* function,
                        DecodedImage& out);
// The image decoded ahead by the loading steps' prefetcher when it has it, else decoded now.
std::unique_ptr<DecodedImage> obtainImage(const std::string& path, const std::string& logName, const char* function);

// Uploads a decoded image into texture `id` (0: a new texture). Returns 0, making no GL name, when
// the member was missing; the name without an image when it did not decode. One decode can serve
// several uploads (an image used with two filters).
unsigned uploadDecodedImage(unsigned id, const DecodedImage& image, GLenum minFilter);

// Uploads tightly packed RGBA pixels into the bound GL_TEXTURE_2D with mipmaps and GL_REPEAT, a grey
// image as one channel (two with alpha) that samples as the RGBA it came from, and the colour of a
// file of three channels (`fileChannels`) as RGB.
void uploadRgbaTexture(const unsigned char* pixels, int width, int height, GLenum minFilter, int fileChannels = 4);
