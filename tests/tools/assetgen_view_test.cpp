// Draws the table models from the archive the way the scene places them, on the CPU, into
// <build>/artefacts/assets_top.png and assets_view.png, and checks what a player would see where.
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <functional>
#include <cmath>
#include <filesystem>
#include <map>

#include "physics/table.h"
#include "tools/built_assets.h"

namespace {

using bztest::decodeMember;
using bztest::DecodedImage;
using bztest::importFromArchive;

struct V3 {
    double x, y, z;
};
V3 sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 crossV(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dotV(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 unit(V3 a) {
    double n = std::sqrt(dotV(a, a));
    return {a.x / n, a.y / n, a.z / n};
}

// A z-buffered rasteriser with one directional light, enough to see the models' shapes, textures
// and placement.
class Raster {
public:
    Raster(int w, int h) : w_(w), h_(h), depth_(w * h, 1e30), rgb_(w * h * 3, 0) {
        for (int i = 0; i < w * h; ++i) rgb_[i * 3] = 18, rgb_[i * 3 + 1] = 18, rgb_[i * 3 + 2] = 22;
    }

    // Orthographic from above: x to the right, z down the picture.
    void topView(double halfWidth) {
        perspective_ = false;
        project_ = [this, halfWidth](V3 p, double& sx, double& sy, double& depth) {
            double s = w_ / (2 * halfWidth);
            sx = w_ / 2.0 + p.x * s;
            sy = h_ / 2.0 + p.z * s;
            depth = -p.y;
            return true;
        };
    }
    void perspective(V3 eye, V3 target, double fovDegrees) {
        V3 f = unit(sub(target, eye)), r = unit(crossV(f, {0, 1, 0})), u = crossV(r, f);
        double k = (h_ / 2.0) / std::tan(fovDegrees * std::acos(-1) / 360);
        perspective_ = true;
        depthOf_ = [=](V3 p) { return dotV(sub(p, eye), f); };
        project_ = [=, this](V3 p, double& sx, double& sy, double& depth) {
            V3 d = sub(p, eye);
            double z = dotV(d, f);
            if (z < 1) return false;
            sx = w_ / 2.0 + dotV(d, r) / z * k;
            sy = h_ / 2.0 - dotV(d, u) / z * k;
            depth = z;
            return true;
        };
    }

    // One textured triangle; `overlay` is blended by its alpha with the same coordinates (markings).
    void triangle(const std::array<V3, 3>& p, const std::array<V3, 3>& n, const std::array<std::array<double, 2>, 3>& uv,
                  const DecodedImage* texture, const DecodedImage* overlay, bool clip = true) {
        if (perspective_ && clip && clipped(p, n, uv, texture, overlay)) return;
        double sx[3], sy[3], sd[3];
        for (int i = 0; i < 3; ++i)
            if (!project_(p[i], sx[i], sy[i], sd[i])) return;
        double area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        // Back faces are culled as the renderer does: counter-clockwise on screen faces the eye
        // (screen y runs down, so that is a negative area here).
        if (area > -1e-9) return;
        int x0 = std::max(0, int(std::floor(std::min({sx[0], sx[1], sx[2]}))));
        int x1 = std::min(w_ - 1, int(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
        int y0 = std::max(0, int(std::floor(std::min({sy[0], sy[1], sy[2]}))));
        int y1 = std::min(h_ - 1, int(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
        const V3 light = unit({0.25, 1, 0.35});
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                double px = x + 0.5, py = y + 0.5;
                double b0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
                double b1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
                double b2 = 1 - b0 - b1;
                if (b0 < 0 || b1 < 0 || b2 < 0) continue;
                double d = b0 * sd[0] + b1 * sd[1] + b2 * sd[2];
                if (perspective_) {
                    // Attributes interpolate linearly in 1 / depth on screen.
                    double w0 = b0 / sd[0], w1 = b1 / sd[1], w2 = b2 / sd[2], sum = w0 + w1 + w2;
                    d = 1 / sum;
                    b0 = w0 / sum, b1 = w1 / sum, b2 = w2 / sum;
                }
                if (d >= depth_[y * w_ + x]) continue;
                depth_[y * w_ + x] = d;
                V3 normal = unit({b0 * n[0].x + b1 * n[1].x + b2 * n[2].x, b0 * n[0].y + b1 * n[1].y + b2 * n[2].y,
                                  b0 * n[0].z + b1 * n[1].z + b2 * n[2].z});
                double u = b0 * uv[0][0] + b1 * uv[1][0] + b2 * uv[2][0], v = b0 * uv[0][1] + b1 * uv[1][1] + b2 * uv[2][1];
                double c[3] = {200, 200, 200};
                sample(texture, u, v, c, nullptr);
                double a = 0, white[3];
                if (overlay) sample(overlay, u, v, white, &a);
                double shade = 0.35 + 0.65 * std::max(0.0, std::abs(dotV(normal, light)));
                for (int k = 0; k < 3; ++k) {
                    double value = c[k] * shade * (1 - a) + 255 * a * shade;
                    rgb_[(y * w_ + x) * 3 + k] = static_cast<unsigned char>(std::clamp(value, 0.0, 255.0));
                }
            }
    }

    const unsigned char* pixel(int x, int y) const { return &rgb_[(y * w_ + x) * 3]; }
    void write(const std::string& path) const { stbi_write_png(path.c_str(), w_, h_, 3, rgb_.data(), w_ * 3); }

private:
    // Cuts a triangle that reaches behind the near plane and draws what lies in front; false when
    // the triangle lies wholly in front.
    bool clipped(const std::array<V3, 3>& p, const std::array<V3, 3>& n, const std::array<std::array<double, 2>, 3>& uv,
                 const DecodedImage* texture, const DecodedImage* overlay) {
        const double nearPlane = 20;
        double d[3];
        for (int i = 0; i < 3; ++i) d[i] = depthOf_(p[i]) - nearPlane;
        if (d[0] >= 0 && d[1] >= 0 && d[2] >= 0) return false;
        struct Corner {
            V3 p, n;
            std::array<double, 2> uv;
        };
        std::vector<Corner> kept;
        for (int i = 0; i < 3; ++i) {
            int j = (i + 1) % 3;
            if (d[i] >= 0) kept.push_back({p[i], n[i], uv[i]});
            if ((d[i] >= 0) != (d[j] >= 0)) {
                double t = d[i] / (d[i] - d[j]);
                auto lerp = [t](V3 a, V3 b) { return V3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t}; };
                kept.push_back({lerp(p[i], p[j]), lerp(n[i], n[j]),
                                {uv[i][0] + (uv[j][0] - uv[i][0]) * t, uv[i][1] + (uv[j][1] - uv[i][1]) * t}});
            }
        }
        for (size_t k = 1; k + 1 < kept.size(); ++k)
            triangle({kept[0].p, kept[k].p, kept[k + 1].p}, {kept[0].n, kept[k].n, kept[k + 1].n},
                     {kept[0].uv, kept[k].uv, kept[k + 1].uv}, texture, overlay, false);
        return true;
    }

    static void sample(const DecodedImage* image, double u, double v, double* c, double* alpha) {
        if (!image || !image->ok()) return;
        u -= std::floor(u);
        v -= std::floor(v);
        const unsigned char* p = image->at(std::min(image->width - 1, int(u * image->width)),
                                           std::min(image->height - 1, int(v * image->height)));
        for (int k = 0; k < 3; ++k) c[k] = p[image->channels >= 3 ? k : 0];
        if (alpha) *alpha = image->channels == 4 ? p[3] / 255.0 : 0;
    }

    int w_, h_;
    std::vector<double> depth_;
    std::vector<unsigned char> rgb_;
    std::function<bool(V3, double&, double&, double&)> project_;
    std::function<double(V3)> depthOf_;
    bool perspective_ = false;
};

class AssetViewTest : public bztest::BuiltArchiveTest {
protected:
    // Draws a model placed as the scene does: uniform scale, then a translation.
    void draw(Raster& raster, const std::string& path, double scale, V3 at = {0, 0, 0}, bool markings = false,
              bool halfTurn = false, double across = 0) {
        const double turn = halfTurn ? -1 : 1, scaleAcross = across > 0 ? across : scale;
        auto model = importFromArchive(path);
        ASSERT_NE(model.scene, nullptr) << path;
        const std::string folder = path.substr(0, path.rfind('/'));
        const DecodedImage* overlay = markings ? &image(ArchiveIndex::instance().nameAt(203)) : nullptr;
        bztest::forEachMesh(model.scene, [&](const std::string&, const aiMesh* mesh) {
            aiString file;
            model.scene->mMaterials[mesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &file);
            const DecodedImage& texture = image(folder + "/" + file.C_Str());
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                std::array<V3, 3> p, n;
                std::array<std::array<double, 2>, 3> uv;
                for (int k = 0; k < 3; ++k) {
                    unsigned i = mesh->mFaces[f].mIndices[k];
                    const aiVector3D &v = mesh->mVertices[i], &nn = mesh->mNormals[i], &t = mesh->mTextureCoords[0][i];
                    p[k] = {turn * v.x * scale + at.x, v.y * scaleAcross + at.y, turn * v.z * scaleAcross + at.z};
                    n[k] = {turn * nn.x * scaleAcross, nn.y * scale, turn * nn.z * scale};
                    uv[k] = {t.x, t.y};
                }
                raster.triangle(p, n, uv, &texture, overlay);
            }
        });
    }

    void drawTableWithBalls(Raster& raster, bool room, const std::string& kind = "PRO") {
        // The scene turns the room half round about y.
        if (room) draw(raster, "res/dr/dark_room.obj", 100, {0, 0, 0}, false, true);
        for (const std::string& part : {std::string("Table_v7_legs_round"), std::string("Table_v7_legs_square"),
                                        std::string("Table_v7_hooks"), std::string("Table_v7_pockets"), "v8_rubber_" + kind,
                                        "v8_frame_" + kind, "v8_bumpers_" + kind})
            draw(raster, "res/table/" + part + ".obj", 100);
        draw(raster, "res/table/v8_bed_" + kind + ".obj", 100, {0, 0, 0}, true);
        Table table;
        changeTableType(table, 2, 2);
        table.placeBallsOnSpots();
        const std::map<int, std::string> names = {{0, "white_dot"}, {2, "yellow"}, {3, "green"}, {4, "brown"},
                                                  {5, "blue"},      {6, "pink"},   {7, "black"}};
        for (int id = 0; id < kBallCount; ++id) {
            const Ball& b = table.balls[id];
            if (id == 1 || (id >= 8 && id <= 9)) continue;
            std::string name = names.count(id) ? names.at(id) : "red";
            draw(raster, "res/table/Ball_" + name + ".obj", 100.54, {b.x, 26.25, b.z});
        }
    }

    const DecodedImage& image(const std::string& name) {
        auto it = images_.find(name);
        if (it != images_.end()) return it->second;
        return images_[name] = decodeMember(name);
    }

    std::map<std::string, DecodedImage> images_;
};

TEST_F(AssetViewTest, TopViewShowsClothRailsPocketsAndBallsWhereThePhysicsHasThem) {
    std::filesystem::create_directories(BZ_ARTEFACTS);
    Raster raster(1600, 860);
    raster.topView(2000);
    drawTableWithBalls(raster, false);
    raster.write(std::string(BZ_ARTEFACTS) + "/assets_top.png");
    const double s = 1600 / 4000.0;
    auto at = [&](double x, double z) { return raster.pixel(int(800 + x * s), int(430 + z * s)); };
    auto green = [](const unsigned char* p) { return p[1] > p[0] + 30 && p[1] > p[2] + 20; };
    EXPECT_TRUE(green(at(-600, 400)));                                     // cloth
    const unsigned char* rail = at(0, 990);                                // wooden rail
    EXPECT_TRUE(rail[0] > rail[1] && rail[1] > rail[2]);
    const unsigned char* black = at(-1460.5, 0);                           // black ball on its spot
    EXPECT_LT(black[0] + black[1] + black[2], 120);
    const unsigned char* pocket = at(-1832.13 - 20, -936.63 - 20);         // into the corner pocket
    EXPECT_LT(pocket[0] + pocket[1] + pocket[2], 150);
}

TEST_F(AssetViewTest, PerspectiveViewOfTheRoomTableAndBalls) {
    std::filesystem::create_directories(BZ_ARTEFACTS);
    Raster raster(1280, 720);
    raster.perspective({3300, 1500, 1900}, {-150, -100, 0}, 50);
    drawTableWithBalls(raster, true);
    raster.write(std::string(BZ_ARTEFACTS) + "/assets_view.png");
    // Something was drawn at the picture's centre (the table), not the empty background.
    const unsigned char* centre = raster.pixel(640, 360);
    EXPECT_FALSE(centre[0] == 18 && centre[1] == 18 && centre[2] == 22);

    // A close look at a corner pocket of the CLUB table, with the cue lying along the table.
    Raster close(1280, 720);
    close.perspective({1500, 330, 560}, {1800, 0, 900}, 50);
    drawTableWithBalls(close, true, "CLUB");
    draw(close, "res/table/Cue_2_Main.obj", 100, {1500, 26.25, 700}, false, false, 135);
    draw(close, "res/table/Cue_2_Tip.obj", 100, {1500, 26.25, 700}, false, false, 135);
    close.write(std::string(BZ_ARTEFACTS) + "/assets_pocket.png");

    // The whole cue from the side, tip on the left, with design 1 as its material gives it.
    Raster cue(1600, 200);
    cue.perspective({735, 12, 300}, {735, 0, 0}, 36);
    draw(cue, "res/table/Cue_2_Main.obj", 100, {0, 0, 0}, false, false, 135);
    draw(cue, "res/table/Cue_2_Tip.obj", 100, {0, 0, 0}, false, false, 135);
    cue.write(std::string(BZ_ARTEFACTS) + "/assets_cue.png");
}

}  // namespace
