// The scene's part of the product's neighbours: the renderer's start-up, the viewport and camera,
// the frame's composition with the overlays, and the loading steps.
#include "app/client_neighbours.h"
#include "app/frame_composition.h"
#include "app/shell_globals.h"
#include "app/window_layout.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "render/aim_lines.h"
#include "render/hud.h"
#include "render/scene.h"
#include "render/scene_pass.h"
#include "render/scene_picture.h"
#include "ui/html_windows.h"

#include <GL/glew.h>

// The renderer's loading step (render/loading_steps.h, whose resourcesLoaded() the shell's flag of
// the same name would hide).
bool loadResourcesStep();

namespace {

// The renderer's steps of GameHandler::init.
void runInitStep(GameHandler& gh, const char* step) {
    const std::string name = step;
    if (name == "initShaderProgram") initInlinePrograms();
    if (name == "initBallPositions") gh.initBallPositions();
    if (name == "updateViewParameters") gh.updateViewParameters();
}

// Installed before main's start-up reaches GameHandler::init.
const bool initStepsInstalled = (setInitStepHook(runInitStep), true);

// The aiming overlays drawn inside the scene pass.
void aimLinePass(GameHandler& gh, const Mat4& projection, const Mat4& view) {
    drawAimLinePass(gh, inlinePrograms(), projection.data(), view.data());
}
void hudPass(GameHandler& gh, const Mat4& projection, const Mat4& view) {
    drawAimingHud(gh, inlinePrograms(), sceneHudTextures(), projection.data(), view.data());
}
const bool aimingPassesInstalled = (setAimLinePass(aimLinePass), setHudPass(hudPass), true);
// The camera set of each frame is chosen before the renderer picks its projection.
const bool cameraSelectorInstalled =
    (GameHandler::setCameraModeSelector([](GameHandler& gh) { gh.selectCameraSet(); }), true);

FrameComposer makeComposer() {
    FrameComposer composer([] { renderScene(getGameHandler()); },
                           [](const OverlayPlan& plan) {
                               drawHtmlOverlays(plan.order, plan.upcoming);
                               // The overlays bind their own program.
                               modelShared().lastProgram = nullptr;
                           },
                           [](HtmlWindow window) { refreshHtmlWindow(window); });
    composer.watchPicture(
        [] {
            const ScenePicture scene = scenePicture(getGameHandler());
            return PictureState{scene.animating, scene.key};
        },
        [](const OverlayPlan& plan) {
            const OverlayPicture overlays = htmlOverlayPicture(plan.order);
            return PictureState{overlays.newPixels, overlays.key};
        });
    return composer;
}

FrameComposer& composer() {
    static FrameComposer instance = makeComposer();
    return instance;
}

}  // namespace

void ClientNeighbours::initScene() {
    (void)initStepsInstalled;
    (void)aimingPassesInstalled;
    (void)cameraSelectorInstalled;
    getScene().initShaders();
}

void ClientNeighbours::setViewport(bool refitCamera) {
    GameHandler& gh = getGameHandler();
    setSceneViewport(gh);
    if (refitCamera) gh.setOverheadCamera();
}

bool ClientNeighbours::drawFrame(bool mustDraw) {
    GameHandler& gh = getGameHandler();
    OverlayInputs in;
    in.appState = appState;
    in.now = gh.now;
    in.inTutorial = gh.inTutorial;
    in.replayMode = gh.replayMode;
    in.startMatchHidden = gameInputFlags().startMatchHidden;
    return composer().compose(gh, in, mustDraw);
}

void ClientNeighbours::windowResized() { composer().windowResized(getGameHandler()); }

bool ClientNeighbours::loadResourcesStep() { return ::loadResourcesStep(); }
