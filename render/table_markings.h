// The cloth's markings texture (lines, spots, the D), with the darkening of the cloth towards the
// cushions and into the pocket mouths baked into its pixels.
#pragma once

#include <cstdint>
#include <string>

#include "render/texture_loader.h"

// The darkening factor at table point (|x|, |z|) in millimetres: 1 on the open cloth, down to 0.58
// near the cushions and in the pocket mouths. clubTable chooses the CLUB pocket-mouth centres.
float markingsFactor(float absX, float absZ, bool clubTable);

// Bakes the darkening into RGBA pixels of an image whose height spans the table's length and whose
// width spans its width. Each value is computed once and written to its mirror images; indices that
// mirror outside the image are left out.
void bakeMarkingsShading(uint8_t* rgba, int width, int height, bool clubTable);

// Bakes the darkening into a decoded markings image when it has four channels of its own; once.
void shadeMarkingsImage(DecodedImage& image, int flag);

// Builds the texture from an archive member. On a missing or undecodable member the texture holds
// one clear white texel, so the cloth shows without markings rather than black.
unsigned createTableMarkingsFrom(const std::string& member, int flag);
