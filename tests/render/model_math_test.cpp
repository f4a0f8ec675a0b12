// What the model and texture code decides without GL: names, factors, paths and transforms.
#include <gtest/gtest.h>

#include <cmath>

#include "render/gl_check.h"
#include "render/loading_steps.h"
#include "render/model.h"
#include "render/texture_loader.h"
#include "support/captured_log.h"

namespace {

TEST(ModelMathTest, FilterNamesPickTheFirstContainedNameMipmapNamesFirst) {
    const std::pair<const char*, GLenum> cases[] = {
        {"GL_NEAREST", GL_NEAREST},
        {"GL_LINEAR", GL_LINEAR},
        {"GL_NEAREST_MIPMAP_LINEAR", GL_NEAREST_MIPMAP_LINEAR},
        {"GL_LINEAR_MIPMAP_NEAREST", GL_LINEAR_MIPMAP_NEAREST},
        {"GL_NEAREST_MIPMAP_NEAREST", GL_NEAREST_MIPMAP_NEAREST},
        {"filter=GL_LINEAR_MIPMAP_LINEAR;", GL_LINEAR_MIPMAP_LINEAR},
        {"", GL_LINEAR_MIPMAP_LINEAR},
        {"linear", GL_LINEAR_MIPMAP_LINEAR},
    };
    for (const auto& [name, filter] : cases) EXPECT_EQ(minFilterFromName(name), filter) << name;
}

TEST(ModelMathTest, PathsOfTexturesAndModelFolders) {
    EXPECT_EQ(texturePath("res/table/Cue_2_GLOSS7.png", "."), "res/table/Cue_2_GLOSS7.png");
    EXPECT_EQ(texturePath("wood.png", "res/table"), "res/table/wood.png");
    EXPECT_EQ(modelDirectory("res/table/Ball_red.obj"), "res/table");
    EXPECT_EQ(modelDirectory("Ball_red.obj"), "Ball_red.obj");
}

TEST(ModelMathTest, BumpFactorsComeFromMapBumpLinesOfNamedMaterials) {
    EXPECT_FLOAT_EQ(bumpFactorOf("map_Bump -bm 0.3 n.png"), 0.3f);
    EXPECT_FLOAT_EQ(bumpFactorOf("map_Bump -bm 0 n.png"), 1.0f);
    EXPECT_FLOAT_EQ(bumpFactorOf("map_Bump -bm 1.5 n.png"), 1.0f);
    EXPECT_FLOAT_EQ(bumpFactorOf("map_Bump n.png"), 1.0f);
    EXPECT_FLOAT_EQ(bumpFactorOf("map_Bump -bm junk n.png"), 1.0f);

    std::map<std::string, float> factors{{"Old", 0.9f}};
    readBumpFactors("map_Bump -bm 0.2 early.png\r\n"  // before any material: ignored
                    "newmtl Wood\r\nKd 1 1 1\r\nmap_Bump -bm 0.5 wood_n.png\r\n"
                    "newmtl Old\nmap_Bump old_n.png\n",
                    factors);
    EXPECT_EQ(factors, (std::map<std::string, float>{{"Old", 1.0f}, {"Wood", 0.5f}}));

    EXPECT_EQ(materialLibraryOf("# x\nmtllib  a b/Ball.mtl\r\nmtllib second.mtl\n"), "b/Ball.mtl");
    EXPECT_EQ(materialLibraryOf("o Cube\nv 0 0 0\n"), "");
}

void expectPoint(const Mat4& m, Vec3 in, Vec3 out) {
    const Vec3 got = transformPoint(m, in);
    EXPECT_NEAR(got.x, out.x, 1e-3);
    EXPECT_NEAR(got.y, out.y, 1e-3);
    EXPECT_NEAR(got.z, out.z, 1e-3);
}

// A vertex is scaled first, then moved by the offset, then rotated about the origin, then translated.
TEST(ModelMathTest, ModelMatrixScalesOffsetsRotatesThenTranslates) {
    bztest::CapturedLog log;
    Model model("missing.obj", nullptr);  // no such member: a model without meshes
    EXPECT_TRUE(model.meshes.empty());
    EXPECT_EQ(log.count("ASSIMP: "), 1);
    EXPECT_FALSE(model.dirty);

    model.setScale(2);
    model.setAxisScale({1, 3, 1});
    model.setOffset({1, 0, 0});
    model.rotateY(float(M_PI / 2));  // +x turns to -z
    model.setPosition({100, 0, 0});
    model.translate({0, 10, 0});
    EXPECT_TRUE(model.dirty);
    expectPoint(model.currentMatrix(), {1, 1, 0}, {100, 16, -3});
    EXPECT_FALSE(model.dirty);
    EXPECT_NEAR(model.position.y, 10, 1e-6);

    // An instance copies the placement but draws with the uniform scale only.
    ModelInstance instance(&model, nullptr);
    instance.dirty = true;
    expectPoint(instance.currentMatrix(), {1, 1, 0}, {100, 12, -3});
    instance.resetRotation();
    instance.rotate(float(M_PI), {0, 0, 5});  // the axis is normalised
    instance.setPosition({0, 0, 0});
    expectPoint(instance.currentMatrix(), {1, 0, 0}, {-3, 0, 0});
}

TEST(ModelMathTest, GlCheckErrorDrainsAtMostThirtyTwoErrorsAndLogsOnlyWithAPlace) {
    bztest::CapturedLog log;
    std::vector<unsigned> pending = {0x0502, 0x0505, 0x0777};
    setGlErrorSourceForTests([&]() -> unsigned {
        if (pending.empty()) return 0;
        const unsigned code = pending.front();
        pending.erase(pending.begin());
        return code;
    });
    EXPECT_EQ(glCheckError("/a/b/render/x.cpp", 7), 0x0777u);
    EXPECT_EQ(log.count("ERROR: INVALID_OPERATION at /a/b/render/x.cpp (7)"), 1);
    EXPECT_EQ(log.count("ERROR: OUT_OF_MEMORY at"), 1);
    EXPECT_EQ(log.count("ERROR:  at /a/b/render/x.cpp (7)"), 1) << "an unknown code has an empty name";
    EXPECT_EQ(glCheckError("/x.cpp", 8), 0u);

    pending = {0x0500, 0x0501};
    EXPECT_EQ(glCheckError(nullptr, 9), 0x0501u);
    pending = {0x0500};
    EXPECT_EQ(glCheckError("/x.cpp", 0), 0x0500u);
    EXPECT_EQ(log.count("INVALID_ENUM"), 0) << "no place, no line";

    // A context that never stops reporting does not hang the caller.
    int calls = 0;
    setGlErrorSourceForTests([&]() -> unsigned { return ++calls, 0x0500u; });
    EXPECT_EQ(glCheckError(nullptr, 0), 0x0500u);
    EXPECT_EQ(calls, kMaxDrainedGlErrors);
    setGlErrorSourceForTests({});

    EXPECT_STREQ(fileNameOf("/a/b\\c.cpp"), "c.cpp");
    EXPECT_STREQ(fileNameOf("c\\d/e.cpp"), "e.cpp");
    EXPECT_STREQ(fileNameOf("plain.cpp"), "plain.cpp");
    EXPECT_STREQ(fileNameOf("/a/"), "");
}

TEST(ModelMathTest, LoadingStepsAreDueFromThreeSecondsAfterTheFirstLoginInAnyStateUntilLoaded) {
    EXPECT_FALSE(loadingStepDue(100000, -1, false)) << "login not yet entered";
    EXPECT_FALSE(loadingStepDue(3999, 1000, false));
    EXPECT_TRUE(loadingStepDue(4000, 1000, false));
    EXPECT_FALSE(loadingStepDue(4000, 1000, true));
}

}  // namespace
