// The balls with their rotation, the ghost ball, the soft shadows under them and the tutorial's marks
// on the bed.
#include "render/scene_pass.h"
#include "render/aim_lines.h"
#include "render/gl_check.h"
#include "render/scene.h"

#include <GL/glew.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kBallHeight = 26.25f;
constexpr float kShadowHalf = 36.75f;

double fractionOf(double v) { return v - std::floor(v); }

ModelInstance* instanceFor(GameHandler& gh, Scene& scene, int slot) {
    // Arezor 5 shows the colours as reds.
    const int index = gh.isArezorOn(5) && slot >= 2 && slot <= 9 ? slot + 23 : slot;
    return index >= 0 && index < kBallInstanceCount ? scene.ballInstances[index] : nullptr;
}

void placeBall(ModelInstance* instance, const Ball& ball) {
    instance->setPosition({static_cast<float>(ball.x), ball.onTable ? kBallHeight : static_cast<float>(ball.y),
                           static_cast<float>(ball.z)});
    instance->resetRotation();
    Quaternion q = ball.orientation;
    float degrees = 0, ax = 0, ay = 1, az = 0;
    q.toAxisAngle(degrees, ax, ay, az);
    instance->rotate(degrees * std::numbers::pi_v<float> / 180.0f, {ax, ay, az});
}

void setFloat(unsigned program, const char* name, float value) {
    glUniform1f(glGetUniformLocation(program, name), value);
}

unsigned programOf(ModelInstance* instance) {
    Shader* shader = instance->program ? instance->program : instance->model ? instance->model->program : nullptr;
    if (shader == nullptr) return 0;
    shader->use();
    modelShared().lastProgram = shader;
    return shader->id;
}

// The ghost ball stands at the predicted contact while the lines of that aim are on show: the own
// aim while aiming, else the opponent's shared one. A camera drag shows none.
bool ghostShown(const GameHandler& gh) {
    const bool predicted = gh.firstHitBall >= 0 && gh.firstHitBall < kBallCount;
    const bool shown = aimingNow(gh) ? gh.aimShown : remoteAimLinesShown(gh);
    return gh.gameSettings.ghostCueBall == 1 && predicted && shown;
}

bool touchesCueBall(const GameHandler& gh, int slot) {
    for (int id : gh.liveStatus->touchingBalls) {
        if (id == slot) return true;
    }
    return false;
}

// Two triangles over (x1, z1)-(x2, z2), the texture running 0..1 from x1 to x2 and from z1 to z2.
void pushRect(std::vector<float>& out, float x1, float z1, float x2, float z2) {
    const float quad[6][4] = {{x1, z1, 0, 0}, {x2, z1, 1, 0}, {x2, z2, 1, 1}, {x1, z1, 0, 0}, {x2, z2, 1, 1}, {x1, z2, 0, 1}};
    for (const auto& v : quad) out.insert(out.end(), v, v + 4);
}

void pushQuad(std::vector<float>& out, float x, float z, float half) { pushRect(out, x - half, z - half, x + half, z + half); }

// The tutorial's target areas, each with its own image, on the bed under everything else.
void drawTutorialMarks(const GameHandler& gh) {
    if (gh.tutorialMarks.empty()) return;
    const Scene& scene = getScene();
    std::vector<float> quad;
    for (const TutorialMark& mark : gh.tutorialMarks) {
        quad.clear();
        pushRect(quad, mark.x1, mark.z1, mark.x2, mark.z2);
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(quad.size() * sizeof(float)), quad.data());
        glBindTexture(GL_TEXTURE_2D, mark.texture == 1 ? scene.tutorialMarkTextureB() : scene.tutorialMarkTextureA());
        glDrawArrays(GL_TRIANGLES, 0, 6);
    }
    BZ_GL_CHECK();
}

}  // namespace

void drawBalls(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view) {
    const bool moving = gh.isAnyBallMoving();
    const float touchIntensity =
        !moving && !gh.liveStatus->touchingBalls.empty() ? static_cast<float>(1 - fractionOf(gh.now)) : 0.0f;
    const Ball& cue = gh.table.balls[BALL_WHITE];
    for (int slot = 0; slot < kBallCount; ++slot) {
        const Ball& ball = gh.table.balls[slot];
        if (!ball.onTable && ball.pocket < 0) continue;
        if (gh.povMode && slot == gh.aimBallIndex) continue;
        ModelInstance* instance = instanceFor(gh, scene, slot);
        if (instance == nullptr || instance->model == nullptr) continue;
        placeBall(instance, ball);
        const unsigned program = programOf(instance);
        setFloat(program, "lightReflectionBlur", gh.perspectiveProjection ? 0.0f : 1.0f);
        if (touchesCueBall(gh, slot)) {
            glUniform3f(glGetUniformLocation(program, "touchPos"), static_cast<float>((ball.x + cue.x) / 2), kBallHeight,
                        static_cast<float>((ball.z + cue.z) / 2));
            setFloat(program, "touchDistance", 6.0f);
            setFloat(program, "touchIntensity", touchIntensity);
        } else {
            glUniform3f(glGetUniformLocation(program, "touchPos"), 0, 0, 0);
        }
        instance->draw(projection, view);
    }
    BZ_GL_CHECK();

    if (ghostShown(gh) && !moving && !gh.povMode) {
        ModelInstance* ghost = scene.extraBallInstances[0];
        if (ghost != nullptr && ghost->model != nullptr) {
            ghost->setPosition({static_cast<float>(gh.ghostBallX), kBallHeight, static_cast<float>(gh.ghostBallZ)});
            const unsigned program = programOf(ghost);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            setFloat(program, "transparency", 0.5f);
            glUniform3f(glGetUniformLocation(program, "touchPos"), 0, 0, 0);
            ghost->draw(projection, view);
            setFloat(program, "transparency", 1.0f);
            glDisable(GL_BLEND);
        }
        return;
    }
    if (gh.povMode && gh.aimBallIndex != 1 && gh.aimBallIndex >= 0 && gh.aimBallIndex < kBallCount) {
        const Ball& ball = gh.table.balls[gh.aimBallIndex];
        ModelInstance* instance = instanceFor(gh, scene, gh.aimBallIndex);
        if (instance == nullptr || instance->model == nullptr) return;
        placeBall(instance, ball);
        const unsigned program = programOf(instance);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        setFloat(program, "transparency", gh.isMyTurnLive() ? 0.5f : 1.0f);
        instance->draw(projection, view);
        setFloat(program, "transparency", 1.0f);
        glDisable(GL_BLEND);
    }
}

void drawBallShadows(GameHandler& gh, const Mat4& projection, const Mat4& view) {
    if (!inlineProgramsReady()) return;
    InlineProgram& p = inlinePrograms().ballShadow;
    const bool moving = gh.isAnyBallMoving();
    const int nominated = gh.liveStatus->nominatedBall;
    std::vector<float>& vertices = p.clientArray;
    vertices.clear();
    for (int slot = 0; slot < kBallCount; ++slot) {
        const Ball& ball = gh.table.balls[slot];
        if (!ball.onTable || slot == BALL_GHOST) continue;
        float half = kShadowHalf;
        if (slot >= 2 && slot == nominated && !moving) {
            half += 9.1875f * static_cast<float>(std::sin(2 * std::numbers::pi * fractionOf(gh.now / 0.76)));
        }
        const bool aimingFlag = aimingNow(gh);
        // The ball in hand keeps pulsing while the shot is sent and rolls, slower until its end.
        if (slot == BALL_WHITE && gh.isMyTurnLive() && gh.liveStatus->ballInHand && !aimingFlag) {
            const double period = gh.shotSentWaiting ? 1.017 : 0.87;
            half += 6.5625f * static_cast<float>(std::sin(2 * std::numbers::pi * fractionOf(gh.now / period)));
        }
        pushQuad(vertices, static_cast<float>(ball.x), static_cast<float>(ball.z), half);
    }
    if (ghostShown(gh)) {
        pushQuad(vertices, static_cast<float>(gh.ghostBallX), static_cast<float>(gh.ghostBallZ), kShadowHalf);
    }
    // The buffer holds a fixed number of quads: never write past it.
    const size_t maxFloats = kBallShadowArrayBytes / sizeof(float);
    if (vertices.size() > maxFloats) vertices.resize(maxFloats - maxFloats % 24);

    glUseProgram(p.program);
    glBindVertexArray(p.vao);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data());
    const Mat4 identity;
    glUniformMatrix4fv(glGetUniformLocation(p.program, "projection"), 1, GL_FALSE, projection.data());
    glUniformMatrix4fv(glGetUniformLocation(p.program, "view"), 1, GL_FALSE, view.data());
    glUniformMatrix4fv(glGetUniformLocation(p.program, "model"), 1, GL_FALSE, identity.data());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glUniform1i(glGetUniformLocation(p.program, "tex"), 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    // Seen from above these quads turn clockwise (and a mark may come with its corners either way):
    // face culling would drop them.
    const bool culling = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
    glDisable(GL_CULL_FACE);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 4));
    BZ_GL_CHECK();
    drawTutorialMarks(gh);
    if (culling) glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBindVertexArray(0);
    modelShared().lastProgram = nullptr;
}
