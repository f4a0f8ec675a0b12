#include "render/scene_pass.h"

#include "core/log.h"
#include "render/aim_lines.h"
#include "render/gl_check.h"
#include "render/scene.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace {

InlinePrograms programs;
bool programsReady = false;
ScenePassHook aimLinePass = nullptr;
ScenePassHook hudPass = nullptr;

Mat4 matrixOf(const float m[16]) {
    Mat4 r;
    std::copy(m, m + 16, r.m.begin());
    return r;
}

void uniform3(unsigned program, const char* name, float x, float y, float z) {
    glUniform3f(glGetUniformLocation(program, name), x, y, z);
}

// viewPos, lightPos and the markings unit on the program of a model, before it draws.
void lightModel(const GameHandler& gh, Model* model) {
    if (model == nullptr || model->program == nullptr) return;
    model->program->use();
    modelShared().lastProgram = model->program;
    const unsigned id = model->program->id;
    uniform3(id, "viewPos", gh.camera.position[0], gh.camera.position[1], gh.camera.position[2]);
    uniform3(id, "lightPos", 1330, 1200, 2825);
    glUniform1i(glGetUniformLocation(id, "texture_tableMarking"), 7);
}

void drawLit(const GameHandler& gh, Model* model, const Mat4& projection, const Mat4& view) {
    if (model == nullptr) return;
    lightModel(gh, model);
    model->draw(projection, view);
    BZ_GL_CHECK();
}

// The live aim of the opponent eases towards its latest target values.
void blendLiveAim(GameHandler& gh) {
    if (!gh.remoteAimAnimating) return;
    AimParameters& shown = gh.remoteAim;
    if (gh.now >= gh.remoteAimAnimEnd) {
        shown = gh.remoteAimTo;
        shown.aimAngle = std::remainder(shown.aimAngle, 360.0);
        if (shown.aimAngle <= -180) shown.aimAngle += 360;
        gh.remoteAimAnimating = false;
    } else {
        const double span = gh.remoteAimAnimEnd - gh.remoteAimAnimStart;
        float t = span > 0 ? static_cast<float>((gh.now - gh.remoteAimAnimStart) / span) : 1.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const double h = t * t * (3 - 2 * t);
        auto mix = [h](double from, double to) { return to * h + from * (1 - h); };
        shown.aimAngle = mix(gh.remoteAimFrom.aimAngle, gh.remoteAimTo.aimAngle);
        shown.power = mix(gh.remoteAimFrom.power, gh.remoteAimTo.power);
        shown.topSpin = mix(gh.remoteAimFrom.topSpin, gh.remoteAimTo.topSpin);
        shown.sideSpin = mix(gh.remoteAimFrom.sideSpin, gh.remoteAimTo.sideSpin);
        shown.elevation = mix(gh.remoteAimFrom.elevation, gh.remoteAimTo.elevation);
    }
    if (aimingNow(gh)) return;
    gh.followBlendedAim();
    gh.updateRemoteAim();
}

// Swaps the shown (opponent's or stroke's) aim into the own aim for the passes that draw the cue.
struct ShownAimSwap {
    GameHandler& gh;
    bool active;
    AimParameters saved;
    int savedBall;
    ShownAimSwap(GameHandler& handler, bool on) : gh(handler), active(on), saved(handler.aim), savedBall(handler.aimBallIndex) {
        if (!active) return;
        if (!gh.cueStrokeOn) {
            gh.aim = gh.remoteAim;
            gh.aimBallIndex = std::clamp(gh.remoteAimBall, 0, kBallCount - 1);
        }
    }
    ~ShownAimSwap() {
        if (!active) return;
        gh.aim = saved;
        gh.aimBallIndex = savedBall;
    }
};

}  // namespace

InlinePrograms& inlinePrograms() { return programs; }
bool inlineProgramsReady() { return programsReady; }
void initInlinePrograms() {
    programs.init();
    programsReady = true;
}

ScenePassHook setAimLinePass(ScenePassHook hook) { return std::exchange(aimLinePass, hook); }
ScenePassHook setHudPass(ScenePassHook hook) { return std::exchange(hudPass, hook); }

void chooseSceneCamera(GameHandler& gh) {
    if (GameHandler::CameraModeSelector select = GameHandler::cameraModeSelector()) select(gh);
    if (gh.in3DView || gh.inOverview || gh.povMode) {
        gh.buildPerspectiveProjection();
    } else {
        gh.buildOrthographicProjection();
    }
}

void renderScene(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "render", ">>> GameHandler::render()");
    chooseSceneCamera(gh);
    float view[16];
    gh.viewMatrix(view);
    glViewport(gh.viewport[0], gh.viewport[1], gh.viewport[2], gh.viewport[3]);
    BZ_GL_CHECK();
    drawScene(gh, matrixOf(gh.projection), matrixOf(view));
    BZ_GL_CHECK();
}

void drawScene(GameHandler& gh, const Mat4& projection, const Mat4& view) {
    Scene& scene = getScene();
    blendLiveAim(gh);
    setCommonUniforms(gh, scene);
    const bool moving = gh.isAnyBallMoving();
    const bool aimingFlag = aimingNow(gh);
    const bool ownAim = !moving && aimingFlag && !gh.replayMode && !gh.povMode;
    const bool shownCue = gh.cueStrokeOn || (!moving && !aimingFlag && remoteAimDrawn(gh));

    if (gh.perspectiveProjection) drawRoomModel(gh, scene, projection, view);
    drawTable(gh, scene, projection, view);
    drawBallShadows(gh, projection, view);
    // The cue's shadow on the bed goes under the aim lines and balls; its part on the rails goes on
    // top of the cushions, so after them.
    const bool cueShadow = ownAim || shownCue;
    const bool shadowAiming = ownAim || gh.remoteAimShown;
    if (cueShadow) {
        ShownAimSwap swap(gh, !ownAim);
        drawCueShadow(gh, projection, view, shadowAiming);
    }
    if (aimLinePass != nullptr) aimLinePass(gh, projection, view);
    drawTableInstances(gh, scene, projection, view);
    drawBalls(gh, scene, projection, view);
    if (cueShadow) {
        ShownAimSwap swap(gh, !ownAim);
        drawCueShadowOnRail(gh, projection, view, shadowAiming);
    }
    drawRoomDecor(gh, scene, projection, view);

    if (gh.liveStatus->gameState == 1) {
        Player* onTurn = gh.table.getPlayer(gh.liveStatus->playerOn);
        if (onTurn != nullptr) scene.setCueDesign(onTurn->currentCue);
    }
    if (ownAim) {
        drawCue(gh, scene, projection, view, true);
    } else if (shownCue) {
        ShownAimSwap swap(gh, true);
        drawCue(gh, scene, projection, view, gh.remoteAimShown && !gh.cueStrokeOn);
    }
    // While balls move the HUD pass only fades the spin widget out after the stroke.
    if (hudPass != nullptr) hudPass(gh, projection, view);
}

void setCommonUniforms(GameHandler& gh, Scene& scene) {
    for (Shader* program : scene.programs) {
        if (program == nullptr) continue;
        program->use();
        uniform3(program->id, "viewPos", gh.camera.position[0], gh.camera.position[1], gh.camera.position[2]);
        uniform3(program->id, "lightPos", 1330, 1200, 2825);
        glUniform1i(glGetUniformLocation(program->id, "texture_tableMarking"), 7);
        glUniform1f(glGetUniformLocation(program->id, "transparency"), 1.0f);
        BZ_GL_CHECK();
    }
    modelShared().lastProgram = nullptr;
}

bool roomModelShown(const GameHandler& gh) { return gh.gameSettings.arena != 0 && gh.table.arena == 0; }

bool roomDecorShown(const GameHandler& gh) {
    return gh.perspectiveProjection && gh.gameSettings.arena != 0 && gh.table.arena == 1;
}

void drawRoomModel(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view) {
    if (!roomModelShown(gh) || scene.roomModel == nullptr) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawLit(gh, scene.roomModel, projection, view);
    glDisable(GL_BLEND);
}

void drawTable(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view) {
    if (gh.perspectiveProjection && !gh.inOverview) {
        drawLit(gh, scene.roundLegModel, projection, view);
        drawLit(gh, scene.squareLegModel, projection, view);
        drawLit(gh, scene.hooksModel, projection, view);
    }
    drawLit(gh, scene.pocketsModel, projection, view);
    int version = 0;
    const bool club = gh.table.getVersionAndType(version) == 1;
    glActiveTexture(GL_TEXTURE7);
    glBindTexture(GL_TEXTURE_2D, scene.tableMarkingsTextures[club ? 0 : 1]);
    glActiveTexture(GL_TEXTURE0);
    drawLit(gh, club ? scene.bedClubModel : scene.bedProModel, projection, view);
}

void drawTableInstances(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view) {
    int version = 0;
    const bool club = gh.table.getVersionAndType(version) == 1;
    const bool room = gh.perspectiveProjection && gh.gameSettings.arena != 0;
    const std::vector<ModelInstance*>& list = room ? (club ? scene.roomClubInstances : scene.roomProInstances)
                                                   : (club ? scene.clubInstances : scene.proInstances);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (ModelInstance* instance : list) {
        if (instance != nullptr) instance->draw(projection, view);
    }
    BZ_GL_CHECK();
    glDisable(GL_BLEND);
}

std::vector<std::string> decorMeshesHiddenFrom(float x, float z) {
    std::vector<std::string> hidden;
    auto add = [&hidden](std::initializer_list<const char*> names) { hidden.insert(hidden.end(), names.begin(), names.end()); };
    if (z < -2900) {
        add({"Board_1_back_Plane.014", "Board_1_Keyhole_hole_Plane.016", "Board_1_Hinge_Plane.017", "Board_1_Plane.002",
             "Board_1_Keyhole_Plane.029", "Board_1_glass_Plane.015", "Board_2_Plane.018", "Board_2.001_Plane.019",
             "Board_2_frame_Plane.028"});
    }
    if (x > 3200) {
        add({"Can_9_Cube.018", "Can_lever_9_Can_alu.001", "Cups_lid_1_Cylinder.012", "Cups_1_Cylinder.015",
             "Fridge_Cube.017", "Fridge_Hinge_Cylinder.014", "Fridge_Handle_Circle", "Fridge_Door_Plane.005",
             "Fan_Circle.003", "Housing_Sphere.002"});
    }
    if (x > 3900) add({"Clock_Circle.004", "Clock_Hands_Plane.006"});
    if (x < -3880) add({"Scoreboard_Plane.022", "Scoreboard_Rails_Plane.023", "Scoreboard_pin_03_Plane.024"});
    return hidden;
}

void drawRoomDecor(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view) {
    if (!roomDecorShown(gh)) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    modelShared().hiddenMeshNames = decorMeshesHiddenFrom(gh.camera.position[0], gh.camera.position[2]);
    for (ModelInstance* instance : scene.roomDecorInstances) {
        if (instance != nullptr) instance->draw(projection, view);
    }
    BZ_GL_CHECK();
    modelShared().hiddenMeshNames.clear();
    glDisable(GL_BLEND);
}
