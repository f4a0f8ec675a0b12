// A small table scene drawn with the scene programs: the cloth must read as green cloth under a top
// light, a ball must carry a bright highlight, and the room must stay dim. The pictures are written
// under the build folder for a look.
#include <GL/glew.h>

#include <cmath>
#include <filesystem>

#include "gl_fixture.h"
#include "render/gl_check.h"
#include "render/scene.h"
#include "render/table_markings.h"

namespace {

using bztest::pngBytes;

// A sphere of the ball radius centred at the origin, with normals and texture coordinates.
std::string sphereObj(const std::string& material) {
    const int rings = 24, segments = 48;
    const double r = 26.25;
    std::string obj = "mtllib scene.mtl\no Ball\n";
    for (int i = 0; i <= rings; ++i) {
        for (int j = 0; j <= segments; ++j) {
            const double theta = M_PI * i / rings, phi = 2 * M_PI * j / segments;
            const double x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            obj += "v " + std::to_string(r * x) + " " + std::to_string(r * y) + " " + std::to_string(r * z) + "\n";
            obj += "vn " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
            obj += "vt " + std::to_string(double(j) / segments) + " " + std::to_string(1.0 - double(i) / rings) + "\n";
        }
    }
    obj += "usemtl " + material + "\n";
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            const int a = i * (segments + 1) + j + 1, b = a + segments + 1;
            auto corner = [](int n) { return std::to_string(n) + "/" + std::to_string(n) + "/" + std::to_string(n); };
            obj += "f " + corner(a) + " " + corner(a + 1) + " " + corner(b + 1) + " " + corner(b) + "\n";
        }
    }
    return obj;
}

// A box from (x0, y0, z0) to (x1, y1, z1); inward faces for a room, outward for a table bed.
std::string boxObj(const std::string& material, float x0, float y0, float z0, float x1, float y1, float z1,
                   bool inward) {
    std::string obj = "mtllib scene.mtl\no Box\n";
    const float xs[2] = {x0, x1}, ys[2] = {y0, y1}, zs[2] = {z0, z1};
    for (int i = 0; i < 8; ++i) {
        obj += "v " + std::to_string(xs[i & 1]) + " " + std::to_string(ys[(i >> 1) & 1]) + " " +
               std::to_string(zs[(i >> 2) & 1]) + "\n";
    }
    obj += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    const float s = inward ? -1.0f : 1.0f;
    obj += "vn 0 " + std::to_string(s) + " 0\nvn 0 " + std::to_string(-s) + " 0\nvn " + std::to_string(-s) +
           " 0 0\nvn " + std::to_string(s) + " 0 0\nvn 0 0 " + std::to_string(-s) + "\nvn 0 0 " + std::to_string(s) +
           "\nusemtl " + material + "\n";
    // Quads: top, bottom, -x, +x, -z, +z (vertex numbers are 1-based: bit 0 x, bit 1 y, bit 2 z).
    const int faces[6][4] = {{3, 4, 8, 7}, {1, 5, 6, 2}, {1, 3, 7, 5}, {2, 6, 8, 4}, {1, 2, 4, 3}, {5, 7, 8, 6}};
    for (int f = 0; f < 6; ++f) {
        obj += "f";
        for (int k = 0; k < 4; ++k) {
            const int v = faces[f][inward ? 3 - k : k];
            obj += " " + std::to_string(v) + "/" + std::to_string(k + 1) + "/" + std::to_string(f + 1);
        }
        obj += "\n";
    }
    return obj;
}

// A markings image: clear everywhere but for the baulk line, drawn opaque white.
std::string markingsPng() {
    const int w = 256, h = 512;
    std::vector<unsigned char> pixels(size_t(w) * h * 4, 255);
    for (int v = 0; v < h; ++v) {
        for (int u = 0; u < w; ++u) pixels[(size_t(v) * w + u) * 4 + 3] = (v == 400 || v == 401) ? 255 : 0;
    }
    std::string out;
    stbi_write_png_to_func(
        [](void* c, void* d, int n) { static_cast<std::string*>(c)->append(static_cast<const char*>(d), size_t(n)); },
        &out, w, h, 4, pixels.data(), w * 4);
    return out;
}

Mat4 lookAt(Vec3 eye, Vec3 target) {
    const Vec3 f = normalized({target.x - eye.x, target.y - eye.y, target.z - eye.z});
    const Vec3 s = normalized({f.y * 0 - f.z * 1, f.z * 0 - f.x * 0, f.x * 1 - f.y * 0});  // f x up
    const Vec3 u = {s.y * f.z - s.z * f.y, s.z * f.x - s.x * f.z, s.x * f.y - s.y * f.x};
    Mat4 m;
    m.at(0, 0) = s.x, m.at(0, 1) = s.y, m.at(0, 2) = s.z;
    m.at(1, 0) = u.x, m.at(1, 1) = u.y, m.at(1, 2) = u.z;
    m.at(2, 0) = -f.x, m.at(2, 1) = -f.y, m.at(2, 2) = -f.z;
    m.at(0, 3) = -(s.x * eye.x + s.y * eye.y + s.z * eye.z);
    m.at(1, 3) = -(u.x * eye.x + u.y * eye.y + u.z * eye.z);
    m.at(2, 3) = f.x * eye.x + f.y * eye.y + f.z * eye.z;
    return m;
}

Mat4 perspective(float fovY, float aspect, float nearZ, float farZ) {
    const float t = 1.0f / std::tan(fovY / 2);
    Mat4 m;
    m.at(0, 0) = t / aspect;
    m.at(1, 1) = t;
    m.at(2, 2) = (farZ + nearZ) / (nearZ - farZ);
    m.at(2, 3) = 2 * farZ * nearZ / (nearZ - farZ);
    m.at(3, 2) = -1;
    m.at(3, 3) = 0;
    return m;
}

constexpr int kWidth = 640, kHeight = 400;

struct Rgb {
    int r, g, b;
    int luma() const { return (r * 3 + g * 6 + b) / 10; }
};

class LightingGlTest : public bztest::GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        modelShared() = ModelShared{};
        std::map<size_t, PackMember> members = shaderMembers();
        members[203] = {"res/table/markings.png", markingsPng()};
        const std::string materials =
            "newmtl Cloth\nmap_Kd cloth.png\nnewmtl Red\nmap_Kd red.png\nnewmtl White\nmap_Kd white.png\n"
            "newmtl Wall\nmap_Kd wall.png\n";
        packAt(members, {{"res/t/bed.obj", boxObj("Cloth", -1784.5f, -40, -889, 1784.5f, 0, 889, false)},
                         {"res/t/room.obj", boxObj("Wall", -6000, -800, -5000, 6000, 3000, 5000, true)},
                         {"res/t/red.obj", sphereObj("Red")},
                         {"res/t/white.obj", sphereObj("White")},
                         {"res/t/scene.mtl", materials},
                         {"res/t/cloth.png", pngBytes(16, 16, 3, 190)},
                         {"res/t/red.png", bztest::pngColour(4, 4, 200, 20, 20)},
                         {"res/t/white.png", pngBytes(4, 4, 3, 235)},
                         {"res/t/wall.png", pngBytes(4, 4, 3, 150)}});
    }

    // Draws the scene with one lighting set into an off-screen target and reads it back.
    std::vector<unsigned char> render(Scene& scene) {
        unsigned fbo = 0, colour = 0, depth = 0;
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), unsigned(GL_FRAMEBUFFER_COMPLETE));
        glViewport(0, 0, kWidth, kHeight);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        const Vec3 eye{1500, 750, 1000};
        const Mat4 view = lookAt(eye, {0, 0, 0});
        const Mat4 projection = perspective(0.8f, float(kWidth) / kHeight, 10, 20000);
        glActiveTexture(GL_TEXTURE7);
        glBindTexture(GL_TEXTURE_2D, markings);
        glActiveTexture(GL_TEXTURE0);
        for (Shader* program : scene.programs) {
            glUseProgram(program->id);
            glUniform3f(glGetUniformLocation(program->id, "viewPos"), eye.x, eye.y, eye.z);
            glUniform3f(glGetUniformLocation(program->id, "lightPos"), 1330, 1200, 2825);
            glUniform1i(glGetUniformLocation(program->id, "texture_tableMarking"), 7);
            glUniform1f(glGetUniformLocation(program->id, "transparency"), 1.0f);
        }
        modelShared().lastProgram = nullptr;
        room->draw(projection, view);
        bed->draw(projection, view);
        red->draw(projection, view);
        white->draw(projection, view);
        EXPECT_EQ(glCheckError(nullptr, 0), 0u);

        std::vector<unsigned char> pixels(size_t(kWidth) * kHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        // Where the table centre and the balls land in the picture (y from the bottom).
        auto project = [&](Vec3 p) {
            const Vec3 v = transformPoint(view, p);
            const float x = projection.at(0, 0) * v.x / -v.z, y = projection.at(1, 1) * v.y / -v.z;
            return std::pair<int, int>{int((x + 1) / 2 * kWidth), int((y + 1) / 2 * kHeight)};
        };
        clothAt = project({-600, 0, -300});
        redAt = project({0, 26.25f, 0});
        return pixels;
    }

    void save(const std::vector<unsigned char>& pixels, const std::string& name) {
        std::filesystem::create_directories(BZ_ARTEFACTS_DIR);
        // Rows come bottom first from GL.
        stbi_flip_vertically_on_write(1);
        stbi_write_png((std::string(BZ_ARTEFACTS_DIR) + "/" + name).c_str(), kWidth, kHeight, 4, pixels.data(),
                       kWidth * 4);
        stbi_flip_vertically_on_write(0);
    }

    static Rgb at(const std::vector<unsigned char>& pixels, int x, int y) {
        const unsigned char* p = &pixels[(size_t(y) * kWidth + size_t(x)) * 4];
        return {p[0], p[1], p[2]};
    }

    void checkPicture(const std::vector<unsigned char>& pixels) {
        const Rgb cloth = at(pixels, clothAt.first, clothAt.second);
        EXPECT_GT(cloth.g, 2 * cloth.r) << "green cloth";
        EXPECT_GT(cloth.g, 2 * cloth.b);
        EXPECT_GT(cloth.g, 60) << "lit from above";
        const Rgb room = at(pixels, 5, kHeight - 5);
        EXPECT_LT(room.luma(), cloth.luma() / 2) << "the room stays dim";
        // The red ball: red body, and somewhere on it a highlight close to white.
        int brightest = 0, reddish = 0;
        for (int dy = -14; dy <= 14; ++dy) {
            for (int dx = -14; dx <= 14; ++dx) {
                const Rgb p = at(pixels, redAt.first + dx, redAt.second + dy);
                brightest = std::max(brightest, std::min({p.r, p.g, p.b}));
                if (p.r > 2 * p.g && p.r > 80) ++reddish;
            }
        }
        EXPECT_GT(brightest, 200) << "specular highlight";
        EXPECT_GT(reddish, 40);
    }

    unsigned markings = 0;
    Model *bed = nullptr, *room = nullptr, *red = nullptr, *white = nullptr;
    std::pair<int, int> clothAt, redAt;
};

TEST_F(LightingGlTest, BothLightingSetsShowALitTableInADimRoom) {
    Scene scene;
    scene.initShaders();
    markings = createTableMarkingsFrom(ArchiveIndex::instance().nameAt(203), 1);
    Model bedModel("res/t/bed.obj", scene.clothShader), roomModel("res/t/room.obj", scene.roomShader),
        redModel("res/t/red.obj", scene.ballShader), whiteModel("res/t/white.obj", scene.ballShader);
    bed = &bedModel, room = &roomModel, red = &redModel, white = &whiteModel;
    redModel.setPosition({0, 26.25f, 0});
    whiteModel.setPosition({700, 26.25f, 200});

    const std::vector<unsigned char> one = render(scene);
    save(one, "scene_lighting_one.png");
    checkPicture(one);

    scene.reloadLightingShaders(false);
    const std::vector<unsigned char> three = render(scene);
    save(three, "scene_lighting_three.png");
    checkPicture(three);
    EXPECT_NE(one, three) << "the two sets light differently";
}

}  // namespace
