#include "tools/assetgen/assetgen.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "physics/params.h"
#include "tools/assetgen/scene_models.h"
#include "tools/assetgen/table_models.h"
#include "tools/assetgen/textures.h"

namespace assetgen {

std::vector<Asset> generateAssets() {
    // The balls and the cue take their sizes from the physics; every record agrees on them.
    const TableParams& p = *findTableParams(2, 1);
    std::vector<Model> models = tableModels();
    for (Model& m : ballModels(p[48])) models.push_back(std::move(m));
    for (Model& m : cueModels(p[58], p[65], p[68])) models.push_back(std::move(m));
    models.push_back(roomModel());

    std::vector<Asset> assets;
    for (const Model& m : models) {
        assets.push_back({m.objPath, m.objText()});
        assets.push_back({m.mtlPath(), m.mtlText()});
    }
    std::vector<NamedImage> images = materialTextures();
    for (auto& group : {ballTextures(), cueTextures(p[68]), hudTextures()})
        for (const NamedImage& image : group) images.push_back(image);
    images.emplace_back("res/table/table_markings.png", markingsImage(p));
    for (const auto& [path, image] : images) assets.push_back({path, image.png()});
    return assets;
}

bool writeAssets(const std::vector<Asset>& assets, const std::string& root, std::string& error) {
    for (const Asset& asset : assets) {
        std::filesystem::path file = std::filesystem::path(root) / asset.path;
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        // Unchanged files keep their time stamps, so the archive is packed again only on a change.
        std::ifstream in(file, std::ios::binary);
        std::string old((std::istreambuf_iterator<char>(in)), {});
        if (in && old == asset.bytes) continue;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(asset.bytes.data(), static_cast<std::streamsize>(asset.bytes.size()));
        if (!out) {
            error = "cannot write " + file.string();
            return false;
        }
    }
    return true;
}

}  // namespace assetgen
