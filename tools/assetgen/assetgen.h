// Every generated model, material library and texture, by plain path.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

struct Asset {
    std::string path;   // plain path in the archive, e.g. "res/table/Ball_red.obj"
    std::string bytes;
};

// The whole set; the same bytes on every run.
std::vector<Asset> generateAssets();

// Writes the set under `root` (folders made as needed); false with a message on failure.
bool writeAssets(const std::vector<Asset>& assets, const std::string& root, std::string& error);

}  // namespace assetgen
