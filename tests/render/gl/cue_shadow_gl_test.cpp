// The cue shadow's fragment stage, drawn over a patch of table around the middle pocket: on the
// rails it is cut to the rail outline, and it fades out as the cue rises.
#include <GL/glew.h>

#include "gl_fixture.h"
#include "render/gl_check.h"
#include "render/inline_programs.h"
#include "render/mat4.h"

namespace {

// The patch: x from 0 to 300 mm, z from 850 to 1050 mm, one pixel per millimetre.
constexpr int kWidth = 300, kHeight = 200;
constexpr float kZ0 = 850;

class CueShadowGlTest : public bztest::GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        packAt(shaderMembers());
        programs.init();
        bindTarget(kWidth, kHeight, false);
    }

    // Alpha of every pixel for a cue at height h above a shadow laid at height s.
    std::vector<unsigned char> draw(float h, float s) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        const InlineProgram& p = programs.cueShadow;
        glUseProgram(p.program);
        glBindVertexArray(p.vao);
        glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
        // x, cue height, z, u, v, shadow height; the texture's middle (alpha 64) everywhere.
        const float corners[6][2] = {{0, kZ0}, {300, kZ0}, {300, kZ0 + 200}, {0, kZ0}, {300, kZ0 + 200}, {0, kZ0 + 200}};
        std::vector<float> vertices;
        for (const auto& c : corners) vertices.insert(vertices.end(), {c[0], h, c[1], 0.5f, 0.5f, s});
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data());
        // Table millimetres to the patch: x -> clip x, z -> clip y; the shadow height drops out.
        Mat4 model;
        model.at(0, 0) = 2.0f / kWidth;
        model.at(0, 3) = -1;
        model.at(1, 1) = 0;
        model.at(1, 2) = 2.0f / kHeight;
        model.at(1, 3) = -1 - 2 * kZ0 / kHeight;
        model.at(2, 1) = 0;
        model.at(2, 2) = 0;
        const Mat4 identity;
        glUniformMatrix4fv(glGetUniformLocation(p.program, "projection"), 1, GL_FALSE, identity.data());
        glUniformMatrix4fv(glGetUniformLocation(p.program, "view"), 1, GL_FALSE, identity.data());
        glUniformMatrix4fv(glGetUniformLocation(p.program, "model"), 1, GL_FALSE, model.data());
        glUniform1f(glGetUniformLocation(p.program, "transparency"), 1.0f);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, p.texture);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        EXPECT_EQ(glCheckError(nullptr, 0), 0u);
        return readTarget(kWidth, kHeight);
    }

    static int alphaAt(const std::vector<unsigned char>& pixels, int x, int z) {
        return pixels[(size_t(z - kZ0) * kWidth + size_t(x)) * 4 + 3];
    }

    InlinePrograms programs;
};

TEST_F(CueShadowGlTest, OnTheRailTheShadowIsCutToTheRailOutline) {
    const std::vector<unsigned char> rail = draw(0, 30);
    struct Spot {
        int x, z;
        bool kept;
    };
    for (const Spot& spot : std::vector<Spot>{
             {40, 969, false},    // inside fminx: the pocket's far side
             {100, 969, true},    // within 80.48 of the middle pocket's centre (118.66, 969.48)
             {100, 900, true},
             {60, 900, false},    // beyond that circle
             {200, 1000, true},   // on the rail between the pockets
             {200, 1045, false},  // beyond the frame's outer edge (889 + 47.63 + 72.37)
         }) {
        const int alpha = alphaAt(rail, spot.x, spot.z);
        if (spot.kept) {
            EXPECT_NEAR(alpha, 64, 2) << spot.x << "," << spot.z;
        } else {
            EXPECT_EQ(alpha, 0) << spot.x << "," << spot.z;
        }
    }
    // On the bed (shadow height 20 or less) nothing is cut; a cue 735 mm up casts no shadow.
    EXPECT_NEAR(alphaAt(draw(0, 20), 40, 969), 64, 2);
    const std::vector<unsigned char> high = draw(735, 0);
    for (size_t i = 3; i < high.size(); i += 4) ASSERT_EQ(high[i], 0);
    EXPECT_NEAR(alphaAt(draw(367.5f, 0), 150, 900), 32, 2) << "half way up: half the shadow";
}

}  // namespace
