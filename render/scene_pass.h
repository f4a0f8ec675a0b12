// The table scene of one frame: the camera mode, the matrices, and the passes in their fixed order
// (room, table, ball shadows and tutorial marks, cue shadow, table instances, balls, the cue shadow on
// the rails, room decor, cue). Main thread, GL context current.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "render/inline_programs.h"
#include "render/mat4.h"

#include <array>
#include <string>
#include <vector>

class Scene;

// The small inline programs of the scene (shadows, aim lines, digits, spin widget), set up by the
// start-up step "initShaderProgram".
InlinePrograms& inlinePrograms();
bool inlineProgramsReady();
void initInlinePrograms();

// The whole scene of the frame into the bound target: camera mode, projection, view, viewport, passes.
void renderScene(GameHandler& gh);
// Its first step: the frame's camera set and projection.
void chooseSceneCamera(GameHandler& gh);
void drawScene(GameHandler& gh, const Mat4& projection, const Mat4& view);

// Pass hooks of the aiming overlays drawn inside the scene (aim lines; HUD and spin widget). The
// code that draws them installs them; without one the pass draws nothing.
using ScenePassHook = void (*)(GameHandler& gh, const Mat4& projection, const Mat4& view);
ScenePassHook setAimLinePass(ScenePassHook hook);
ScenePassHook setHudPass(ScenePassHook hook);

// The individual passes (scene_pass.cpp, ball_pass.cpp, cue_pass.cpp).
void setCommonUniforms(GameHandler& gh, Scene& scene);
void drawRoomModel(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view);
void drawTable(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view);
void drawTableInstances(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view);
void drawRoomDecor(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view);
void drawBalls(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view);
void drawBallShadows(GameHandler& gh, const Mat4& projection, const Mat4& view);
void drawCue(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view, bool aiming);
void drawCueShadow(GameHandler& gh, const Mat4& projection, const Mat4& view, bool aiming);
void drawCueShadowOnRail(GameHandler& gh, const Mat4& projection, const Mat4& view, bool aiming);

// Which room a frame shows: the dark room for a table without the decorated arena, the decor only
// for an arena table seen in perspective; neither with the arena setting off.
bool roomModelShown(const GameHandler& gh);
bool roomDecorShown(const GameHandler& gh);

// The meshes of the room decor that would stand between a camera at (x, z) and the table.
std::vector<std::string> decorMeshesHiddenFrom(float cameraX, float cameraZ);

// The cue's pull-back along its length (mm) this frame.
double cuePullBack(const GameHandler& gh, bool aiming);

// The corners of the cue's shadow on the bed, in table coordinates (x, height above the cloth, z),
// near edge first: near-left, near-right, far-right, far-left.
struct CueShadowCorners {
    Vec3 corner[4];
};
CueShadowCorners computeCueShadow(const GameHandler& gh, double pullBack, bool aiming);

// The part of the segment (x0, z0)-(x1, z1) inside the rectangle |x| <= halfX, |z| <= halfZ, as the
// parameters t0 <= t1 in [0, 1]; false when none of it is.
bool clipToRectangle(double x0, double z0, double x1, double z1, double halfX, double halfZ, double& t0, double& t1);

// The shadow cut into the stretch on the bed (drawn when its near end lies on the bed) and the stretch
// beyond it up to the rails' outer edge (left out when the bed holds the whole shadow). Each is two
// triangles of (x, cue height, z, u, v, shadow height), each long side cut where it leaves the bed and
// where it leaves the rails, so the parts meet without a gap or an overlap.
struct CueShadowParts {
    bool onBed = false, onRail = false;
    std::array<float, 36> bed{}, rail{};
};
CueShadowParts cueShadowParts(const CueShadowCorners& shape);
