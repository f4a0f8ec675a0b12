#include <GL/glew.h>

#include "gl_fixture.h"
#include "render/gl_check.h"
#include "render/inline_programs.h"
#include "render/scene.h"
#include "render/shader.h"

namespace {

class ShaderGlTest : public bztest::GlFixture {
protected:
    void TearDown() override {
        setGlErrorSourceForTests({});
        GlFixture::TearDown();
    }
};

GLint linkStatus(unsigned program) {
    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    return status;
}

TEST_F(ShaderGlTest, EverySceneAndScreenSourceCompilesAndLinks) {
    packAt(shaderMembers());
    Scene scene;
    scene.initShaders();
    ASSERT_EQ(scene.programs.size(), 7u);
    const std::vector<Shader*> order = {scene.tableShader, scene.clothShader, scene.legShader, scene.frameShader,
                                        scene.ballShader,  scene.roomShader,  scene.cueShader};
    EXPECT_EQ(std::vector<Shader*>(scene.programs.begin(), scene.programs.end()), order);
    for (Shader* shader : order) EXPECT_EQ(linkStatus(shader->id), GL_TRUE);

    // The second lighting set, and back: only the four lit programs get new ids, the objects stay.
    std::vector<unsigned> before;
    for (Shader* shader : order) before.push_back(shader->id);
    scene.reloadLightingShaders(false);
    for (size_t i = 0; i < order.size(); ++i) {
        const bool lit = order[i] == scene.clothShader || order[i] == scene.legShader ||
                         order[i] == scene.frameShader || order[i] == scene.roomShader;
        EXPECT_EQ(order[i]->id != before[i], lit) << i;
        EXPECT_EQ(linkStatus(order[i]->id), GL_TRUE) << i;
    }
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    scene.reloadLightingShaders(true);
    for (Shader* shader : order) EXPECT_EQ(linkStatus(shader->id), GL_TRUE);

    Shader screen(kScreenVertexPath, kScreenFragmentPath);
    EXPECT_EQ(linkStatus(screen.id), GL_TRUE);
    EXPECT_EQ(log.count("SHADER_COMPILATION_ERROR"), 0) << logText();
    EXPECT_EQ(log.count("PROGRAM_LINKING_ERROR"), 0) << logText();
}

TEST_F(ShaderGlTest, ACompileErrorIsLoggedWithItsLabelAndTheProgramIsKept) {
    packAt({{0, {"bad.vs", "#version 330 core\nvoid main() { gl_Position = vec4(1.0) }\n"}},
            {1, {"good.fs", "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n"}}});
    Shader shader("bad.vs", "good.fs");
    EXPECT_NE(shader.id, 0u);
    const std::string text = logText();
    const size_t compile = text.find("SHADER_COMPILATION_ERROR of bad.vs(type: VERTEX):");
    const size_t link = text.find("PROGRAM_LINKING_ERROR of good.fs(type: PROGRAM):");
    ASSERT_NE(compile, std::string::npos) << text;
    ASSERT_NE(link, std::string::npos) << text;
    EXPECT_LT(compile, link);
}

TEST_F(ShaderGlTest, OneSourceMissingFromTheArchiveReadsBothFromDisk) {
    const std::string onDisk = (dir / "pair").string();
    std::ofstream(onDisk + ".vs") << "#version 330 core\nvoid main() { gl_Position = vec4(0.0); }\n";
    std::ofstream(onDisk + ".fs") << "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n";
    // The archive holds a broken vertex source under the same name: it must not be used.
    packAt({{0, {onDisk + ".vs", "broken"}}});
    Shader shader((onDisk + ".vs").c_str(), (onDisk + ".fs").c_str());
    EXPECT_EQ(linkStatus(shader.id), GL_TRUE) << logText();
}

TEST_F(ShaderGlTest, GlCheckErrorDrainsARealErrorAndNamesIt) {
    glEnable(0xFFFF);  // not a capability: INVALID_ENUM
    EXPECT_EQ(glCheckError("/src/render/x.cpp", 12), unsigned(GL_INVALID_ENUM));
    EXPECT_EQ(glCheckError("/src/render/x.cpp", 13), 0u);
    EXPECT_EQ(log.count("ERROR: INVALID_ENUM at /src/render/x.cpp (12)"), 1) << logText();
}

TEST_F(ShaderGlTest, UseRetriesOnOutOfMemoryAndGivesUpAfterFiveTries) {
    packAt(shaderMembers());
    Shader shader(kScreenVertexPath, kScreenFragmentPath);
    // A leftover error for the first drain, then out of memory after each of the five tries.
    std::vector<unsigned> reports = {GL_INVALID_VALUE, 0};
    for (int i = 0; i < 5; ++i) reports.insert(reports.end(), {GL_OUT_OF_MEMORY, 0});
    size_t next = 0;
    setGlErrorSourceForTests([&]() -> unsigned { return next < reports.size() ? reports[next++] : 0; });
    EXPECT_EQ(shader.use(), unsigned(GL_OUT_OF_MEMORY));
    EXPECT_EQ(log.count("OpenGL Error: 1281"), 1) << logText();
    EXPECT_EQ(log.count("Retrying..."), 4);
    EXPECT_EQ(log.count("Giving up."), 1);

    setGlErrorSourceForTests({});
    EXPECT_EQ(shader.use(), 0u);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(unsigned(current), shader.id);
}

TEST_F(ShaderGlTest, InlineProgramsBuildInOrderWithTheirSamplersAndFixedSpinWidgetCoordinates) {
    packAt(shaderMembers());
    InlinePrograms inline_;
    inline_.init();
    EXPECT_EQ(log.count("compile status: 1. Log:"), 10) << logText();
    EXPECT_EQ(log.count("Missing shader include"), 0) << logText();
    const std::string text = logText();
    size_t at = 0;
    for (const char* label : {"Ball shadow", "Cue shadow", "QBall", "Aim lines", "Text"}) {
        const size_t found = text.find(std::string(label) + " Vertex shader compile status: 1", at);
        ASSERT_NE(found, std::string::npos) << label;
        at = found;
    }
    for (const InlineProgram* p : {&inline_.ballShadow, &inline_.cueShadow, &inline_.qBall, &inline_.aim, &inline_.text}) {
        EXPECT_EQ(linkStatus(p->program), GL_TRUE);
        EXPECT_NE(p->vao, 0u);
    }
    EXPECT_NE(inline_.ballShadow.texture, 0u);
    EXPECT_NE(inline_.cueShadow.texture, 0u);
    EXPECT_GE(inline_.qBall.transparencyLocation, 0);
    GLint unit = -1;
    glGetUniformiv(inline_.text.program, glGetUniformLocation(inline_.text.program, "tex"), &unit);
    EXPECT_EQ(unit, 4);
    EXPECT_EQ(inline_.qBall.clientArray[2], 0.0f);
    EXPECT_EQ(inline_.qBall.clientArray[3], 1.0f);
    EXPECT_EQ(inline_.qBall.clientArray[6 * 4 + 5 * 4 + 2], 1.0f);  // second quad, last vertex (1, 1)
    EXPECT_EQ(inline_.aim.clientArray.size(), 10000u);
}

// Neither the archive nor the working folder holds the prelude: each stage says so, fails to compile,
// and the set-up still runs to the end.
TEST_F(ShaderGlTest, InlineProgramsWithoutThePreludeLogItAndCarryOn) {
    packAt({});
    InlinePrograms inline_;
    inline_.init();
    EXPECT_EQ(log.count("Missing shader include \"res/shaders/prelude.glsl\" of \"Cue shadow\""), 2) << logText();
    EXPECT_EQ(log.count("Missing shader include"), 10);
    EXPECT_EQ(log.count("compile status: 0. Log:"), 10);
    EXPECT_NE(inline_.text.program, 0u);
    EXPECT_EQ(linkStatus(inline_.text.program), GL_FALSE);
    while (glGetError() != GL_NO_ERROR) {
    }
}

}  // namespace
