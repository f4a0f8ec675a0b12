#include <GL/glew.h>

#include "gl_fixture.h"
#include "render/gl_check.h"
#include "render/model.h"
#include "render/shader.h"
#include "render/texture_loader.h"

namespace {

using bztest::cubeObj;
using bztest::pngBytes;
using bztest::textureParameter;

class ModelGlTest : public bztest::GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        modelShared() = ModelShared{};
        const std::string materials =
            "newmtl Painted\n"
            "map_Kd paint_ext1.png\n"
            "map_Bump -bm 0.3 bumps.png\n"
            "newmtl Cue_main\n"
            "map_Kd Cue_COL_ext1.png\n"
            "map_Ks Cue_GLOSS.png\n"
            "newmtl Lost\n"
            "map_Kd missing.png\n";
        packAt({}, {{"res/test/cube.obj", cubeObj("cube.mtl", "Painted")},
                    {"res/test/again.obj", cubeObj("cube.mtl", "Painted")},
                    {"res/test/cue.obj", cubeObj("cube.mtl", "Cue_main")},
                    {"res/test/lost.obj", cubeObj("cube.mtl", "Lost")},
                    {"res/test/flat.obj", cubeObj("", "None", false)},
                    {"res/test/cube.mtl", materials},
                    {"res/test/paint_ext1.png", pngBytes(8, 4, 3)},
                    {"res/test/bumps.png", pngBytes(4, 4, 2)},
                    {"res/test/Cue_COL_ext1.png", pngBytes(2, 2, 4)},
                    {"res/test/Cue_GLOSS.png", pngBytes(2, 2, 1)}});
    }
};

std::vector<std::string> typesOf(const Mesh& mesh) {
    std::vector<std::string> types;
    for (const Texture& t : mesh.textures) types.push_back(t.type);
    return types;
}

TEST_F(ModelGlTest, ACubeImportsThroughTheArchiveWithItsMeshAndTextures) {
    Model cube("res/test/cube.obj", nullptr);
    ASSERT_EQ(cube.meshes.size(), 1u) << logText();
    const Mesh& mesh = cube.meshes[0];
    EXPECT_EQ(mesh.vertexCount, 24u);
    EXPECT_EQ(mesh.indexCount, 36u);
    // The GL buffers hold them: the client's copies are let go.
    EXPECT_TRUE(mesh.vertices.empty() && mesh.indices.empty());
    EXPECT_EQ(cube.directory, "res/test");
    EXPECT_NE(mesh.vao, 0u);
    // The "_ext1" image gives a second, linear diffuse sampler; the bump factor comes from the .mtl.
    ASSERT_EQ(typesOf(mesh), (std::vector<std::string>{"texture_diffuse", "texture_diffuse", "texture_normal"}));
    EXPECT_NE(mesh.textures[0].id, mesh.textures[1].id);
    EXPECT_FLOAT_EQ(mesh.textures[2].bump, 0.3f);
    EXPECT_FLOAT_EQ(modelShared().bumpFactors["Painted"], 0.3f);
    for (const Texture& t : mesh.textures) EXPECT_NE(t.id, 0u);
    EXPECT_EQ(textureParameter(mesh.textures[0].id, GL_TEXTURE_WIDTH), 8);
    // The grey test images keep one channel, or two with their alpha.
    EXPECT_EQ(textureParameter(mesh.textures[0].id, GL_TEXTURE_INTERNAL_FORMAT), GL_R8);
    EXPECT_EQ(textureParameter(mesh.textures[2].id, GL_TEXTURE_INTERNAL_FORMAT), GL_RG8);
    GLint filter = 0;
    glBindTexture(GL_TEXTURE_2D, mesh.textures[1].id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_EQ(glCheckError(nullptr, 0), 0u);

    // A second model of the same images reuses the first records only: one diffuse sampler.
    Model again("res/test/again.obj", nullptr);
    ASSERT_EQ(again.meshes.size(), 1u);
    EXPECT_EQ(typesOf(again.meshes[0]), (std::vector<std::string>{"texture_diffuse", "texture_normal"}));
    EXPECT_EQ(again.meshes[0].textures[0].id, mesh.textures[0].id);
    EXPECT_EQ(modelShared().loadedTextures.size(), 3u);
}

TEST_F(ModelGlTest, TheCueMaterialNamesTheDesignTexturesAndAMissingImageNamesNoTexture) {
    Model cue("res/test/cue.obj", nullptr);
    ASSERT_EQ(cue.meshes.size(), 1u);
    const auto& textures = cue.meshes[0].textures;
    ASSERT_EQ(textures.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(modelShared().cueMainTextureIds[i], textures[size_t(i)].id);

    Model lost("res/test/lost.obj", nullptr);
    ASSERT_EQ(lost.meshes[0].textures.size(), 1u);
    EXPECT_EQ(lost.meshes[0].textures[0].id, 0u);
    EXPECT_EQ(log.count("Could not find file \"res/test/missing.png\" in vidoda.dat"), 1) << logText();
    EXPECT_EQ(updateTextureFromFile(0, "missing.png", "res/test", ""), 0u);
}

TEST_F(ModelGlTest, AMeshWithoutNormalsGetsZeroNormalsAndAModelDrawsCleanly) {
    Model flat("res/test/flat.obj", nullptr);
    ASSERT_EQ(flat.meshes.size(), 1u) << logText();
    std::vector<Vertex> uploaded(flat.meshes[0].vertexCount);
    glBindBuffer(GL_ARRAY_BUFFER, flat.meshes[0].vbo);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(uploaded.size() * sizeof(Vertex)), uploaded.data());
    ASSERT_FALSE(uploaded.empty());
    for (const Vertex& v : uploaded) {
        EXPECT_EQ(v.normal[0], 0.0f);
        EXPECT_EQ(v.normal[1], 0.0f);
        EXPECT_EQ(v.normal[2], 0.0f);
    }

    // Drawing: the program is bound once for two models in a row, hidden meshes are skipped.
    packAt({{0, {"d.vs", "#version 330 core\nlayout(location = 0) in vec3 aPos;\nuniform mat4 projection;\n"
                         "uniform mat4 view;\nuniform mat4 model;\n"
                         "void main() { gl_Position = projection * view * model * vec4(aPos, 1.0); }\n"}},
            {1, {"d.fs", "#version 330 core\nout vec4 c;\nuniform float normalBlend;\n"
                         "void main() { c = vec4(normalBlend); }\n"}}});
    Shader program("d.vs", "d.fs");
    flat.program = &program;
    flat.draw(Mat4(), Mat4());
    EXPECT_EQ(modelShared().lastProgram, &program);
    glUseProgram(0);
    flat.draw(Mat4(), Mat4());
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0) << "the same program is not bound again";
    modelShared().hiddenMeshNames = {flat.meshes[0].name};
    modelShared().lastProgram = nullptr;
    flat.draw(Mat4(), Mat4());
    EXPECT_EQ(glCheckError(nullptr, 0), 0u);
}

}  // namespace
