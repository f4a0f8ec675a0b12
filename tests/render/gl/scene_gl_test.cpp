#include <GL/glew.h>

#include "gl_fixture.h"
#include "render/gl_check.h"
#include "render/loading_steps.h"
#include "render/scene.h"
#include "render/table_markings.h"
#include "render/texture_loader.h"

namespace {

using bztest::cubeObj;
using bztest::pngBytes;
using bztest::textureParameter;

// The scene's test archive: the real shader sources, a cue and a red ball model, the markings
// image, the nine scene textures and the design 1 images; every other model is missing.
class SceneGlTest : public bztest::GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        modelShared() = ModelShared{};
        std::map<size_t, PackMember> members = shaderMembers();
        members[107] = {"res/table/Cue_2_COL1_ext1.png", pngBytes(16, 8, 3)};
        members[115] = {"res/table/Cue_2_GLOSS1.png", pngBytes(4, 4, 1)};
        members[203] = {"res/table/markings.png", pngBytes(32, 64, 4)};
        for (size_t i = 205; i <= 213; ++i) members[i] = {"res/tex/" + std::to_string(i) + ".png", pngBytes(2, 2, 4)};
        const std::string materials =
            "newmtl Cue_main\nmap_Kd Cue_COL_ext1.png\nmap_Ks Cue_GLOSS.png\n"
            "newmtl Red\nmap_Kd red.png\n";
        packAt(members, {{"res/table/Cue_2_Main.obj", cubeObj("parts.mtl", "Cue_main")},
                         {"res/table/Ball_red.obj", cubeObj("parts.mtl", "Red")},
                         {"res/table/parts.mtl", materials},
                         {"res/table/Cue_COL_ext1.png", pngBytes(2, 2, 4)},
                         {"res/table/Cue_GLOSS.png", pngBytes(2, 2, 4)},
                         {"res/table/red.png", pngBytes(2, 2, 3)}});
    }
};

TEST_F(SceneGlTest, ThirtyTwoStepsOnePerCallThenTheSoundsThenNothing) {
    Scene scene;
    scene.initShaders();
    scene.setCueBallDesign(0);  // chosen before the ball instances exist
    int soundLoads = 0;
    ResourceLoader loader(scene, [&] { return ++soundLoads, true; });
    for (int call = 1; call <= kSceneLoadingSteps; ++call) {
        EXPECT_FALSE(loader.step());
        EXPECT_EQ(scene.stepsDone(), call);
        EXPECT_EQ(log.count("loading item " + std::to_string(call) + " at "), 1) << call;
        EXPECT_EQ(log.count("loaded item " + std::to_string(call) + " at "), 1) << call;
    }
    EXPECT_EQ(soundLoads, 0);
    EXPECT_TRUE(loader.step());
    EXPECT_EQ(soundLoads, 1);
    EXPECT_TRUE(loader.resourcesLoaded());
    EXPECT_FALSE(loader.step());
    EXPECT_EQ(soundLoads, 1);
    EXPECT_TRUE(scene.loadModels());
    EXPECT_EQ(log.count("loading item 33"), 0);
    EXPECT_EQ(log.count("loading item "), kSceneLoadingSteps);

    // Models that are missing are stored without meshes; the present ones imported.
    EXPECT_EQ(scene.redBallModel->meshes.size(), 1u);
    EXPECT_TRUE(scene.pocketsModel->meshes.empty());
    EXPECT_EQ(scene.cueMainModel->program, scene.cueShader);
    EXPECT_EQ(scene.bedClubModel->program, scene.clothShader);

    // The instances, their lists and the cue ball choice made before loading.
    EXPECT_EQ(scene.ballInstances[0], scene.extraBallInstances[0]);
    scene.setCueBallDesign(2);
    EXPECT_EQ(scene.ballInstances[0], scene.extraBallInstances[1]);
    EXPECT_EQ(scene.ballInstances[1], nullptr);
    EXPECT_EQ(scene.ballInstances[8]->model, scene.orangeBallModel);
    for (int i = 10; i < kBallInstanceCount; ++i) EXPECT_EQ(scene.ballInstances[i]->model, scene.redBallModel);
    EXPECT_NE(scene.ballInstances[10], scene.ballInstances[11]);
    // Orange and purple are made at the size of the other balls.
    for (int i : {2, 8, 9}) EXPECT_FLOAT_EQ(scene.ballInstances[i]->scale, 100.54f) << i;
    EXPECT_EQ(scene.proInstances[0]->model, scene.frameProModel);
    EXPECT_EQ(scene.roomProInstances[0]->model, scene.cushionRubberProModel);
    EXPECT_EQ(scene.clubInstances.size(), 3u);
    EXPECT_TRUE(scene.roomDecorInstances.empty());
    EXPECT_FLOAT_EQ(scene.clubInstances[0]->scale, 100.0f);
    EXPECT_NEAR(scene.cueMainModel->axisScale.y, 1.35f, 1e-6);

    EXPECT_NE(scene.tableMarkingsTextures[0], 0u);
    EXPECT_NE(scene.tableMarkingsTextures[1], scene.tableMarkingsTextures[0]);
    for (unsigned id : scene.textures) EXPECT_NE(id, 0u);
    EXPECT_EQ(glCheckError(nullptr, 0), 0u);
}

TEST_F(SceneGlTest, CueDesignsUploadIntoTheCueTexturesOnlyOnceTheCueExists) {
    Scene scene;
    scene.initShaders();
    scene.setCueDesign(3);
    EXPECT_EQ(scene.cueDesign, 0) << "nothing to upload into yet";
    EXPECT_EQ(log.count("Could not find file"), 0);

    while (!scene.loadModels()) {
    }
    const unsigned* ids = modelShared().cueMainTextureIds;
    ASSERT_NE(ids[0], 0u);
    scene.setCueDesign(9);  // out of range: design 1
    EXPECT_EQ(scene.cueDesign, 1);
    EXPECT_EQ(textureParameter(ids[0], GL_TEXTURE_WIDTH), 16);
    EXPECT_EQ(textureParameter(ids[1], GL_TEXTURE_WIDTH), 16);
    EXPECT_EQ(textureParameter(ids[2], GL_TEXTURE_WIDTH), 4);
    scene.setCueDesign(7);  // not in this archive: the textures keep their images
    EXPECT_EQ(log.count("Could not find file \"res/table/Cue_2_COL7_ext1.png\" in vidoda.dat"), 1) << logText();
    EXPECT_EQ(textureParameter(ids[0], GL_TEXTURE_WIDTH), 16);
    EXPECT_EQ(scene.cueDesign, 7);
}

// The texels as a shader samples them: read back as stored, then through the texture's swizzle.
std::vector<uint8_t> texels(unsigned id, int w, int h) {
    std::vector<uint8_t> stored(size_t(w) * size_t(h) * 4);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, stored.data());
    GLint swizzle[4] = {};
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    std::vector<uint8_t> out(stored.size());
    for (size_t i = 0; i < out.size(); i += 4) {
        for (int c = 0; c < 4; ++c) {
            const GLint s = swizzle[c];
            out[i + c] = s == GL_ZERO ? 0 : s == GL_ONE ? 255 : stored[i + size_t(s - GL_RED)];
        }
    }
    return out;
}

TEST_F(SceneGlTest, GreyImagesKeepFewerChannelsAndSampleAsTheRgbaTheyCameFrom) {
    struct Case {
        const char* name;
        std::vector<uint8_t> rgba;  // two pixels
        GLint format;
        int fileChannels = 4;
    } cases[] = {
        {"colour", {10, 20, 30, 255, 40, 40, 40, 255}, GL_RGBA8},
        {"colour of a three-channel file", {10, 20, 30, 255, 40, 40, 40, 255}, GL_RGB8, 3},
        {"grey, opaque", {7, 7, 7, 255, 250, 250, 250, 255}, GL_R8},
        {"grey of a three-channel file", {7, 7, 7, 255, 250, 250, 250, 255}, GL_R8, 3},
        {"grey with alpha", {7, 7, 7, 255, 250, 250, 250, 0}, GL_RG8},
        {"grey but one pixel", {7, 7, 7, 0, 250, 250, 251, 0}, GL_RGBA8},
    };
    for (const Case& c : cases) {
        unsigned id = 0;
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        uploadRgbaTexture(c.rgba.data(), 2, 1, GL_LINEAR_MIPMAP_LINEAR, c.fileChannels);
        EXPECT_EQ(textureParameter(id, GL_TEXTURE_INTERNAL_FORMAT), c.format) << c.name;
        EXPECT_EQ(texels(id, 2, 1), c.rgba) << c.name;
        glDeleteTextures(1, &id);
    }
    EXPECT_EQ(glCheckError(nullptr, 0), 0u);
}

TEST_F(SceneGlTest, MarkingsAreShadedOnlyWithAlphaAndAMissingImageLeavesClearWhite) {
    packAt({{0, {"four.png", pngBytes(32, 64, 4, 200)}}, {1, {"three.png", pngBytes(32, 64, 3, 200)}}});
    const std::vector<uint8_t> four = texels(createTableMarkingsFrom("four.png", 1), 32, 64);
    const std::vector<uint8_t> three = texels(createTableMarkingsFrom("three.png", 1), 32, 64);
    // The last row lies beyond the end cushion (its mirror row would be outside the image).
    const size_t corner = (size_t(63) * 32 + 15) * 4, centre = (size_t(31) * 32 + 15) * 4;
    EXPECT_EQ(four[centre], 255) << "open cloth: white";
    EXPECT_EQ(four[corner], 116) << "at the cushion: 0.58 of 200";
    EXPECT_EQ(four[corner + 3], 200) << "alpha as decoded";
    EXPECT_EQ(three[centre], 200);
    EXPECT_EQ(three[corner], 200);
    EXPECT_EQ(three[corner + 3], 255);
    EXPECT_EQ(log.count("File \"four.png\": length="), 1) << logText();

    const unsigned missing = createTableMarkingsFrom("nothing.png", 0);
    EXPECT_NE(missing, 0u);
    EXPECT_EQ(texels(missing, 1, 1), (std::vector<uint8_t>{255, 255, 255, 0}));
    EXPECT_EQ(log.count("Could not find file \"nothing.png\" in vidoda.dat"), 1);
    EXPECT_EQ(log.count("Texture failed to load"), 0) << "nothing decoded for a missing member";
    EXPECT_EQ(glCheckError(nullptr, 0), 0u);
}

}  // namespace
