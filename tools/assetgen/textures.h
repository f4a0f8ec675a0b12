// The texture images: cloth, woods, leather, brass, ball faces, the room, the cue designs, the
// table markings and the head-up display images.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "physics/params.h"
#include "tools/assetgen/image.h"

namespace assetgen {

// (plain path, image) pairs.
using NamedImage = std::pair<std::string, Image>;

std::vector<NamedImage> materialTextures();
std::vector<NamedImage> ballTextures();
// Designs 1..8: "res/table/Cue_2_COL<n>_ext1.png" and "res/table/Cue_2_GLOSS<n>.png".
std::vector<NamedImage> cueTextures(double length);

// The markings image: 1024 columns across the table (z) and 2048 rows along it (x, row 0 at the
// black end), spanning the pocket centre lines; RGB white, the chalk lines and spots in alpha.
constexpr int kMarkingsWidth = 1024, kMarkingsHeight = 2048;
constexpr double kMarkingsHalfX = 1832.13, kMarkingsHalfZ = 936.63;
Image markingsImage(const TableParams& p);

// The nine scene images in index order: spin-widget ball, tip marker clear, tip marker blocked,
// ball shadow, placing mark, tutorial mark A, tutorial mark B, nominated-ball ring, digit strip.
std::vector<NamedImage> hudTextures();

}  // namespace assetgen
