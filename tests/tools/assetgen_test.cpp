// The generated models and textures, read back from the archive the build packed: what the scene
// asks for is there, and the geometry lies where the physics has the table.
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "core/sha256.h"
#include "physics/table.h"
#include "tools/assetgen/assetgen.h"
#include "tools/built_assets.h"

namespace {

using bztest::decodeMember;
using bztest::forEachMesh;
using bztest::importFromArchive;

constexpr double kTableScale = 100, kBallScale = 100.54, kCueAlong = 100, kCueAcross = 135;

class AssetTest : public bztest::BuiltArchiveTest {};

struct ModelCase {
    const char* path;
    std::vector<std::string> nodes;  // node names the scene or its passes may look for
};

const std::vector<ModelCase>& modelCases() {
    static const std::vector<ModelCase> cases = {
        {"res/table/Cue_2_Main.obj", {"Cue_main"}},
        {"res/table/Cue_2_Tip.obj", {"Cue_tip"}},
        {"res/table/v8_bed_CLUB.obj", {"Bed_cloth"}},
        {"res/table/v8_bed_PRO.obj", {"Bed_cloth"}},
        {"res/table/v8_rubber_CLUB.obj", {"Cushion_top_end", "Cushion_baulk_end", "Cushion_left_top", "Cushion_right_baulk"}},
        {"res/table/v8_rubber_PRO.obj", {"Cushion_top_end", "Cushion_baulk_end", "Cushion_left_top", "Cushion_right_baulk"}},
        {"res/table/Table_v7_hooks.obj", {"Hook_0"}},
        {"res/table/v8_frame_CLUB.obj", {"Rail_top", "Frame_body"}},
        {"res/table/v8_frame_PRO.obj", {"Rail_top", "Frame_body"}},
        {"res/table/Table_v7_legs_round.obj", {"Leg_turned_0", "Leg_turned_7"}},
        {"res/table/Table_v7_legs_square.obj", {"Leg_block_0", "Leg_block_7"}},
        {"res/table/v8_bumpers_CLUB.obj", {"Plate_0", "Plate_5"}},
        {"res/table/v8_bumpers_PRO.obj", {"Plate_0", "Plate_5"}},
        {"res/table/Table_v7_pockets.obj", {"Pocket_0", "Pocket_1", "Pocket_2", "Pocket_3", "Pocket_4", "Pocket_5"}},
        {"res/dr/dark_room.obj", {"Floor", "Walls", "Ceiling"}},
        {"res/table/Ball_black.obj", {"Ball_black"}},
        {"res/table/Ball_blackwhite.obj", {"Ball_blackwhite"}},
        {"res/table/Ball_blue.obj", {"Ball_blue"}},
        {"res/table/Ball_brown.obj", {"Ball_brown"}},
        {"res/table/Ball_green.obj", {"Ball_green"}},
        {"res/table/Ball_orange.obj", {"Ball_orange"}},
        {"res/table/Ball_pink.obj", {"Ball_pink"}},
        {"res/table/Ball_purple.obj", {"Ball_purple"}},
        {"res/table/Ball_red.obj", {"Ball_red"}},
        {"res/table/Ball_white.obj", {"Ball_white"}},
        {"res/table/Ball_white_dot.obj", {"Ball_white_dot"}},
        {"res/table/Ball_wood.obj", {"Ball_wood"}},
        {"res/table/Ball_yellow.obj", {"Ball_yellow"}},
    };
    return cases;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

TEST_F(AssetTest, EveryModelImportsWithNamedMeshesNormalsAndTexturesFromTheArchive) {
    ASSERT_EQ(modelCases().size(), 28u);
    for (const ModelCase& c : modelCases()) {
        SCOPED_TRACE(c.path);
        auto model = importFromArchive(c.path);
        ASSERT_NE(model.scene, nullptr) << model.importer->GetErrorString();
        ASSERT_FALSE(model.scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE);
        std::set<std::string> nodes;
        forEachMesh(model.scene, [&](const std::string& node, const aiMesh* mesh) {
            nodes.insert(node);
            EXPECT_TRUE(mesh->HasNormals()) << node;
            EXPECT_TRUE(mesh->HasTextureCoords(0)) << node;
            EXPECT_GT(mesh->mNumFaces, 0u) << node;
            // Each triangle is wound counter-clockwise seen from the side its normals face, so that
            // back-face culling keeps the visible side.
            int against = 0;
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const unsigned* i = mesh->mFaces[f].mIndices;
                aiVector3D face = (mesh->mVertices[i[1]] - mesh->mVertices[i[0]]) ^ (mesh->mVertices[i[2]] - mesh->mVertices[i[0]]);
                aiVector3D normal = mesh->mNormals[i[0]] + mesh->mNormals[i[1]] + mesh->mNormals[i[2]];
                if (face.Length() > 1e-9f && face * normal < 0) ++against;
            }
            EXPECT_EQ(against, 0) << node;
            // Every texture the material names decodes from the model's folder.
            const aiMaterial* material = model.scene->mMaterials[mesh->mMaterialIndex];
            for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_SPECULAR, aiTextureType_HEIGHT})
                for (unsigned i = 0; i < material->GetTextureCount(type); ++i) {
                    aiString file;
                    material->GetTexture(type, i, &file);
                    EXPECT_TRUE(decodeMember(folderOf(c.path) + "/" + file.C_Str()).ok()) << file.C_Str();
                }
            EXPECT_GT(material->GetTextureCount(aiTextureType_DIFFUSE), 0u) << node;
        });
        for (const std::string& name : c.nodes) EXPECT_TRUE(nodes.count(name)) << name;
    }
}

TEST_F(AssetTest, CueMaterialHasTheColourGlossAndNormalImagesInOrder) {
    auto model = importFromArchive("res/table/Cue_2_Main.obj");
    ASSERT_NE(model.scene, nullptr);
    int found = 0;
    forEachMesh(model.scene, [&](const std::string&, const aiMesh* mesh) {
        const aiMaterial* m = model.scene->mMaterials[mesh->mMaterialIndex];
        aiString name, diffuse, specular, normal;
        m->Get(AI_MATKEY_NAME, name);
        if (std::string(name.C_Str()) != "Cue_main") return;
        ++found;
        ASSERT_EQ(m->GetTextureCount(aiTextureType_DIFFUSE), 1u);
        ASSERT_EQ(m->GetTextureCount(aiTextureType_SPECULAR), 1u);
        ASSERT_EQ(m->GetTextureCount(aiTextureType_HEIGHT), 1u);
        m->GetTexture(aiTextureType_DIFFUSE, 0, &diffuse);
        m->GetTexture(aiTextureType_SPECULAR, 0, &specular);
        m->GetTexture(aiTextureType_HEIGHT, 0, &normal);
        // The colour image carries "_ext1" so that it gets its second, linear sampler; the design
        // switch uploads into these three, so they are design 1's images.
        EXPECT_STREQ(diffuse.C_Str(), "Cue_2_COL1_ext1.png");
        EXPECT_STREQ(specular.C_Str(), "Cue_2_GLOSS1.png");
        EXPECT_STREQ(normal.C_Str(), "Cue_2_NORMAL.png");
    });
    EXPECT_EQ(found, 1);
}

TEST_F(AssetTest, FixedPositionsHoldTheirImages) {
    auto& index = ArchiveIndex::instance();
    struct Fixed {
        size_t position;
        std::string path;
        int channels, width, height;  // 0: any
    };
    std::vector<Fixed> fixed = {{203, "res/table/table_markings.png", 4, 1024, 2048},
                                {213, "res/hud/digits.png", 4, 110, 13}};
    for (int n = 1; n <= 6; ++n) {
        fixed.push_back({size_t(106 + n), "res/table/Cue_2_COL" + std::to_string(n) + "_ext1.png", 3, 0, 0});
        fixed.push_back({size_t(114 + n), "res/table/Cue_2_GLOSS" + std::to_string(n) + ".png", 3, 0, 0});
    }
    const char* hud[] = {"spin_ball", "tip_clear", "tip_blocked", "ball_shadow", "placing_mark",
                         "tutorial_mark_a", "tutorial_mark_b", "nominated_ring"};
    for (int i = 0; i < 8; ++i) fixed.push_back({size_t(205 + i), std::string("res/hud/") + hud[i] + ".png", 4, 0, 0});
    for (const Fixed& f : fixed) {
        SCOPED_TRACE(f.path);
        EXPECT_EQ(index.nameAt(f.position), archiveDigestName(f.path));
        auto image = decodeMember(index.nameAt(f.position));
        ASSERT_TRUE(image.ok());
        EXPECT_EQ(image.channels, f.channels);
        if (f.width) {
            EXPECT_EQ(image.width, f.width);
            EXPECT_EQ(image.height, f.height);
        }
    }
    // Designs 7 and 8 are read by plain path; a design's colour and gloss images match in size.
    for (int n = 1; n <= 8; ++n) {
        auto colour = decodeMember("res/table/Cue_2_COL" + std::to_string(n) + "_ext1.png");
        auto gloss = decodeMember("res/table/Cue_2_GLOSS" + std::to_string(n) + ".png");
        ASSERT_TRUE(colour.ok() && gloss.ok()) << n;
        EXPECT_EQ(colour.width, gloss.width);
        EXPECT_EQ(colour.height, gloss.height);
    }
}

// The nose line of a cushion model: its vertices at the ball centre height, in mm.
std::vector<std::pair<double, double>> noseVertices(const std::string& path) {
    std::vector<std::pair<double, double>> out;
    auto model = importFromArchive(path);
    EXPECT_NE(model.scene, nullptr);
    if (!model.scene) return out;
    forEachMesh(model.scene, [&](const std::string&, const aiMesh* mesh) {
        for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
            const aiVector3D& v = mesh->mVertices[i];
            if (std::abs(v.y * kTableScale - 26.25) < 0.01) out.push_back({v.x * kTableScale, v.z * kTableScale});
        }
    });
    return out;
}

bool angleWithin(double angle, double lo, double hi) {
    const double twoPi = 2 * std::numbers::pi;
    while (angle < lo) angle += twoPi;
    while (angle > lo + twoPi) angle -= twoPi;
    return angle <= hi + 1e-9;
}

TEST_F(AssetTest, CushionNosesFollowTheCushionLinesAndJawArcsWithinOneMillimetre) {
    struct Case {
        const char* path;
        int version, type;
    };
    // The CLUB cushions serve both type-1 records, which differ by 2 mm at the corner jaws.
    for (Case c : {Case{"res/table/v8_rubber_CLUB.obj", 1, 1}, Case{"res/table/v8_rubber_CLUB.obj", 2, 1},
                   Case{"res/table/v8_rubber_PRO.obj", 1, 2}, Case{"res/table/v8_rubber_PRO.obj", 2, 2}}) {
        SCOPED_TRACE(std::string(c.path) + " v" + std::to_string(c.version));
        Table table;
        ASSERT_TRUE(changeTableType(table, c.version, c.type));
        const TableParams& p = *table.params;
        const double L2 = p[36] / 2, W2 = p[37] / 2, c38 = p[38];
        auto nose = noseVertices(c.path);
        ASSERT_GT(nose.size(), 200u);
        int onEnds = 0, onSides = 0;
        for (auto [x, z] : nose) {
            // Nothing stands inside the cushion lines.
            EXPECT_FALSE(std::abs(x) < L2 - 1 && std::abs(z) < W2 - 1) << x << ", " << z;
            if (std::abs(z) <= W2 + c38 - p[81] - 1 && std::abs(std::abs(x) - L2) < 5) {
                EXPECT_NEAR(std::abs(x), L2, 1.0);
                ++onEnds;
            }
            if (std::abs(x) >= p[90] + 1 && std::abs(x) <= L2 + c38 - p[81] - 1 && std::abs(std::abs(z) - W2) < 5) {
                EXPECT_NEAR(std::abs(z), W2, 1.0);
                ++onSides;
            }
        }
        EXPECT_GE(onEnds, 4);
        EXPECT_GE(onSides, 8);
        for (int i = 0; i < kPocketArcCount; ++i) {
            const PocketArc& arc = table.pocketArcs[i];
            int near = 0;
            for (auto [x, z] : nose) {
                double d = std::hypot(x - arc.x, z - arc.z);
                if (std::abs(d - arc.radius) > 5 || !angleWithin(std::atan2(z - arc.z, x - arc.x), arc.minAngle, arc.maxAngle))
                    continue;
                EXPECT_NEAR(d, arc.radius, 1.0 + 1e-3) << "arc " << i;
                ++near;
            }
            EXPECT_GE(near, 3) << "arc " << i;
        }
    }
}

TEST_F(AssetTest, PocketsStandOnTheCaptureCircles) {
    auto model = importFromArchive("res/table/Table_v7_pockets.obj");
    ASSERT_NE(model.scene, nullptr);
    std::map<std::string, std::pair<double, double>> centres;
    forEachMesh(model.scene, [&](const std::string& node, const aiMesh* mesh) {
        double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
        for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
            double v[2] = {mesh->mVertices[i].x * kTableScale, mesh->mVertices[i].z * kTableScale};
            for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
        }
        centres[node] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2};
    });
    for (auto [version, type] : {std::pair{1, 1}, {1, 2}, {2, 1}, {2, 2}}) {
        Table table;
        ASSERT_TRUE(changeTableType(table, version, type));
        for (int p = 0; p < kPocketCount; ++p) {
            auto it = centres.find("Pocket_" + std::to_string(p));
            ASSERT_NE(it, centres.end());
            EXPECT_NEAR(it->second.first, table.pocketCircles[p].x, 1.0) << p;
            EXPECT_NEAR(it->second.second, table.pocketCircles[p].z, 1.0) << p;
        }
    }
}

TEST_F(AssetTest, EveryBallHasTheBallRadiusAboutItsCentre) {
    const double radius = (*findTableParams(2, 1))[48];
    for (const ModelCase& c : modelCases()) {
        if (std::string(c.path).find("/Ball_") == std::string::npos) continue;
        auto model = importFromArchive(c.path);
        ASSERT_NE(model.scene, nullptr) << c.path;
        forEachMesh(model.scene, [&](const std::string&, const aiMesh* mesh) {
            for (unsigned i = 0; i < mesh->mNumVertices; ++i)
                ASSERT_NEAR(mesh->mVertices[i].Length() * kBallScale, radius, 0.01) << c.path;
        });
    }
}

TEST_F(AssetTest, CueRunsFromTheTipFaceAlongPlusXWithItsLengthAndRadii) {
    const TableParams& p = *findTableParams(2, 1);
    double minX = 1e9, maxX = -1e9, tipRadius = 0, buttRadius = 0;
    for (const char* path : {"res/table/Cue_2_Tip.obj", "res/table/Cue_2_Main.obj"}) {
        auto model = importFromArchive(path);
        ASSERT_NE(model.scene, nullptr);
        forEachMesh(model.scene, [&](const std::string&, const aiMesh* mesh) {
            for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
                const aiVector3D& v = mesh->mVertices[i];
                double x = v.x * kCueAlong, r = std::hypot(v.y, v.z) * kCueAcross;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                if (x < 10) tipRadius = std::max(tipRadius, r);
                buttRadius = std::max(buttRadius, r);
            }
        });
    }
    EXPECT_NEAR(minX, 0, 0.01);
    EXPECT_NEAR(maxX, p[68], 0.01);
    EXPECT_NEAR(tipRadius, p[58], 0.01);
    EXPECT_NEAR(buttRadius, p[65], 0.01);
}

TEST_F(AssetTest, MarkingsUnderTheBedsTextureCoordinatesShowTheSpotsLineAndD) {
    auto markings = decodeMember(ArchiveIndex::instance().nameAt(203));
    ASSERT_TRUE(markings.ok());
    ASSERT_EQ(markings.channels, 4);
    for (const char* bed : {"res/table/v8_bed_CLUB.obj", "res/table/v8_bed_PRO.obj"}) {
        SCOPED_TRACE(bed);
        auto model = importFromArchive(bed);
        ASSERT_NE(model.scene, nullptr);
        // The bed maps linearly: u across the table, v (as the renderer samples it) along it.
        double su = 0, ou = 0, sv = 0, ov = 0;
        bool first = true;
        forEachMesh(model.scene, [&](const std::string&, const aiMesh* mesh) {
            const aiVector3D *a = &mesh->mVertices[0], *ta = &mesh->mTextureCoords[0][0];
            for (unsigned i = 1; i < mesh->mNumVertices && first; ++i) {
                const aiVector3D *b = &mesh->mVertices[i], *tb = &mesh->mTextureCoords[0][i];
                if (std::abs(b->x - a->x) < 1 || std::abs(b->z - a->z) < 1) continue;
                su = (tb->x - ta->x) / ((b->z - a->z) * kTableScale);
                ou = ta->x - su * a->z * kTableScale;
                sv = (tb->y - ta->y) / ((b->x - a->x) * kTableScale);
                ov = ta->y - sv * a->x * kTableScale;
                first = false;
            }
            for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
                EXPECT_NEAR(mesh->mTextureCoords[0][i].x, su * mesh->mVertices[i].z * kTableScale + ou, 1e-4);
                EXPECT_NEAR(mesh->mTextureCoords[0][i].y, sv * mesh->mVertices[i].x * kTableScale + ov, 1e-4);
            }
        });
        ASSERT_FALSE(first);
        auto alphaAt = [&](double x, double z) {
            int col = static_cast<int>(std::floor((su * z + ou) * markings.width));
            int row = static_cast<int>(std::floor((sv * x + ov) * markings.height));
            if (col < 0 || row < 0 || col >= markings.width || row >= markings.height) return -1;
            return int(markings.at(col, row)[3]);
        };
        Table table;
        ASSERT_TRUE(changeTableType(table, 2, 1));
        const TableParams& p = *table.params;
        const double baulk = p[36] / 2 - p[77];
        for (int id = 2; id <= 7; ++id) {
            const Ball& ball = table.balls[id];
            EXPECT_GT(alphaAt(ball.spotX, ball.spotZ), 150) << ball.name;
            // Clear cloth a little way off the spot, away from the baulk line.
            EXPECT_EQ(alphaAt(ball.spotX - 40, ball.spotZ + 15), 0) << ball.name;
        }
        EXPECT_GT(alphaAt(baulk, 600), 150);                                     // baulk line
        EXPECT_GT(alphaAt(baulk + p[78], 0), 150);                               // back of the D
        EXPECT_EQ(alphaAt(baulk - p[78], 0), 0);                                 // the D lies in baulk
        EXPECT_GT(alphaAt(baulk + p[78] * std::cos(0.7), p[78] * std::sin(0.7)), 150);
    }
}

std::string digestOf(const std::vector<assetgen::Asset>& assets) {
    std::string all;
    for (const auto& a : assets) all += a.path + '\0' + std::to_string(a.bytes.size()) + '\0' + a.bytes;
    return sha256Hex(all);
}

TEST_F(AssetTest, GeneratorIsDeterministicAndTheBuiltArchiveHoldsItsOutputUnchanged) {
    auto first = assetgen::generateAssets(), second = assetgen::generateAssets();
    EXPECT_EQ(digestOf(first), digestOf(second));
    // Packed by the build and read back through the archive reader, every member is byte for byte
    // what the generator makes; so the archive round-trips and is current.
    for (const auto& asset : first) {
        BZFile file(asset.path);
        ASSERT_TRUE(file.isOpen()) << asset.path;
        const char* data = nullptr;
        uint64_t length = file.data(&data);
        ASSERT_EQ(std::string(data, length), asset.bytes) << asset.path;
    }
}

}  // namespace
