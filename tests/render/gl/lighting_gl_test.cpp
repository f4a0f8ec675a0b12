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
        members[203] = {"res/table/markings.png", bztest::pngMarkings(256, 512)};
        const std::string materials =
            "newmtl Cloth\nmap_Kd cloth.png\nnewmtl Red\nmap_Kd red.png\nnewmtl White\nmap_Kd white.png\n"
            "newmtl Wall\nmap_Kd wall.png\nnewmtl Wood\nmap_Kd wood.png\nnewmtl Rail\nmap_Kd rail.png\n";
        const float bedLo[3] = {-1784.5f, -40, -889}, bedHi[3] = {1784.5f, 0, 889};
        const float roomLo[3] = {-6000, -800, -5000}, roomHi[3] = {6000, 3000, 5000};
        // One long side of the table: its cushion and the wooden frame behind it.
        const float railLo[3] = {-1784.5f, 0, -936}, railHi[3] = {1784.5f, 37, -889};
        const float frameLo[3] = {-1900, -60, -1009}, frameHi[3] = {1900, 37, -936};
        packAt(members, {{"res/t/bed.obj", bztest::boxObj("scene.mtl", "Cloth", bedLo, bedHi, false)},
                         {"res/t/rail.obj", bztest::boxObj("scene.mtl", "Rail", railLo, railHi, false)},
                         {"res/t/frame.obj", bztest::boxObj("scene.mtl", "Wood", frameLo, frameHi, false)},
                         {"res/t/wood.png", bztest::pngColour(4, 4, 110, 60, 25)},
                         {"res/t/rail.png", bztest::pngColour(4, 4, 20, 110, 40)},
                         {"res/t/room.obj", bztest::boxObj("scene.mtl", "Wall", roomLo, roomHi, true)},
                         {"res/t/red.obj", bztest::sphereObj("scene.mtl", "Red")},
                         {"res/t/white.obj", bztest::sphereObj("scene.mtl", "White")},
                         {"res/t/scene.mtl", materials},
                         {"res/t/cloth.png", pngBytes(16, 16, 3, 190)},
                         {"res/t/red.png", bztest::pngColour(4, 4, 200, 20, 20)},
                         {"res/t/white.png", pngBytes(4, 4, 3, 235)},
                         {"res/t/wall.png", pngBytes(4, 4, 3, 150)}});
    }

    // Draws the scene with one lighting set into an off-screen target and reads it back.
    std::vector<unsigned char> render(Scene& scene) {
        bindTarget(kWidth, kHeight, true);
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
        rail->draw(projection, view);
        frame->draw(projection, view);
        red->draw(projection, view);
        white->draw(projection, view);
        EXPECT_EQ(glCheckError(nullptr, 0), 0u);

        const std::vector<unsigned char> pixels = readTarget(kWidth, kHeight);
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
    Model *bed = nullptr, *room = nullptr, *red = nullptr, *white = nullptr, *rail = nullptr, *frame = nullptr;
    std::pair<int, int> clothAt, redAt;
};

TEST_F(LightingGlTest, BothLightingSetsShowALitTableInADimRoom) {
    Scene scene;
    scene.initShaders();
    markings = createTableMarkingsFrom(ArchiveIndex::instance().nameAt(203), 1);
    Model bedModel("res/t/bed.obj", scene.clothShader), roomModel("res/t/room.obj", scene.roomShader),
        redModel("res/t/red.obj", scene.ballShader), whiteModel("res/t/white.obj", scene.ballShader);
    Model railModel("res/t/rail.obj", scene.tableShader), frameModel("res/t/frame.obj", scene.frameShader);
    bed = &bedModel, room = &roomModel, red = &redModel, white = &whiteModel, rail = &railModel, frame = &frameModel;
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
