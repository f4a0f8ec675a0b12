// Reading the models and images of the archive that the build packed beside the client.
#pragma once

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include <assimp/Importer.hpp>
#include <memory>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/archive_io.h"

namespace bztest {

// The importer with the flags the scene loads models with; the scene lives as long as the importer.
struct ImportedModel {
    std::unique_ptr<Assimp::Importer> importer;
    const aiScene* scene = nullptr;
};

inline ImportedModel importFromArchive(const std::string& path) {
    ImportedModel model;
    model.importer = std::make_unique<Assimp::Importer>();
    model.importer->SetIOHandler(new ArchiveIOSystem());
    model.scene = model.importer->ReadFile(path, aiProcess_CalcTangentSpace | aiProcess_Triangulate | aiProcess_FlipUVs);
    return model;
}

struct DecodedImage {
    int width = 0, height = 0, channels = 0;
    std::vector<unsigned char> pixels;  // as stored, `channels` per pixel
    bool ok() const { return width > 0; }
    const unsigned char* at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * channels]; }
};

// A member by plain path or index name, decoded as stored; empty when missing or not an image.
inline DecodedImage decodeMember(const std::string& name) {
    DecodedImage image;
    BZFile file(name);
    const char* data = nullptr;
    if (!file.isOpen()) return image;
    uint64_t length = file.data(&data);
    unsigned char* pixels = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(data), static_cast<int>(length),
                                                  &image.width, &image.height, &image.channels, 0);
    if (!pixels) return {};
    image.pixels.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * image.channels);
    stbi_image_free(pixels);
    return image;
}

// Points the process's index at the archive the build wrote (BZ_APP_FOLDER/res/vidoda.dat).
class BuiltArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ArchiveIndex::instance().useBuiltInTable();
        ArchiveIndex::instance().setBaseFolder(std::string(BZ_APP_FOLDER) + "/");
    }
    void TearDown() override { ArchiveIndex::instance().setBaseFolder(""); }
};

// Visits every mesh with the name of the node that holds it.
template <typename F>
void forEachMesh(const aiScene* scene, F&& f, const aiNode* node = nullptr) {
    if (!node) node = scene->mRootNode;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) f(node->mName.C_Str(), scene->mMeshes[node->mMeshes[i]]);
    for (unsigned i = 0; i < node->mNumChildren; ++i) forEachMesh(scene, f, node->mChildren[i]);
}

}  // namespace bztest
