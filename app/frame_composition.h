// The picture of one frame: the off-screen targets the scaling setting asks for, the scene in the
// table states, its way to the window, and the HTML overlays of the state in their fixed order.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"

#include <array>
#include <functional>
#include <optional>
#include <vector>

class Shader;

// What decides which overlays a state shows, beside the game controller's panel slots.
struct OverlayInputs {
    int appState = 0;
    double now = 0;
    bool inTutorial = false, replayMode = false, startMatchHidden = false;
};

struct OverlayPlan {
    std::vector<HtmlWindow> order;     // drawn this frame, in this order
    std::vector<HtmlWindow> upcoming;  // dialogs opened but not yet due: kept live in the browser
};

OverlayPlan planOverlays(const GameHandler& gh, const OverlayInputs& in);

// The render size for a window and the scaling settings.
struct RenderSize {
    int width, height;
};
RenderSize renderSizeFor(int windowW, int windowH, int scalingMode, int resolutionLimit);

// Counts each window's draws per state; true on every 67th draw of that window in that state (the
// page is then repainted whole).
class OverlayRefreshCounter {
public:
    bool countDraw(int appState, HtmlWindow window);

private:
    std::array<std::array<int, HTML_WINDOW_COUNT>, 7> counts_{};
};

// Clamps a requested sample count to what the driver offers (at least 1).
int clampSampleCount(int requested, int maxSamples, int maxColourSamples, int maxDepthSamples);

// The off-screen set of the scaling modes.
class OffscreenSet {
public:
    bool present() const { return sceneFramebuffer != 0; }
    // Builds it at the render size; false when the driver could not complete it (it is then deleted,
    // and the frame is drawn straight into the window).
    bool build(int width, int height, int samples);
    // New storage for the same objects; false (and deleted) when incomplete.
    bool reallocate(int width, int height, int samples);
    void destroy();
    // Resolves the rectangle of the scene target into the resolve texture and stretches it over the
    // window viewport.
    void present(int x, int y, int w, int h, int windowW, int windowH, float clearGrey);

    unsigned sceneFramebuffer = 0, sceneColorTexture = 0, sceneDepthStencil = 0;
    unsigned resolveFramebuffer = 0, resolveTexture = 0;
    unsigned screenQuadVao = 0, screenQuadVbo = 0;
    int samples = 0;

private:
    bool allocate(int width, int height, int samples);
    Shader* screenShader_ = nullptr;
};

// What a part of the picture is drawn from: changing when it differs from one frame to the next by
// itself (an animation, new page pixels), else a digest of its inputs.
struct PictureState {
    bool changing = true;
    uint64_t key = 0;
};

// The frame's steps, with the scene and the overlays as seams for tests.
class FrameComposer {
public:
    using SceneDraw = std::function<void()>;
    using OverlayDraw = std::function<void(const OverlayPlan& plan)>;
    using Repaint = std::function<void(HtmlWindow window)>;
    using SceneState = std::function<PictureState()>;
    using OverlayState = std::function<PictureState(const OverlayPlan& plan)>;

    FrameComposer(SceneDraw scene, OverlayDraw overlays, Repaint repaint)
        : scene_(std::move(scene)), overlays_(std::move(overlays)), repaint_(std::move(repaint)) {}

    // With these the composer can tell a frame that would come out as the last one; without them
    // every frame is composed.
    void watchPicture(SceneState scene, OverlayState overlays) {
        sceneState_ = std::move(scene);
        overlayState_ = std::move(overlays);
    }

    // One frame into the window (GL context current), unless mustDraw is false and the picture would
    // be the one composed last: the window still shows it, and nothing is drawn. True when a picture
    // was composed (the swap shows it).
    bool compose(GameHandler& gh, const OverlayInputs& in, bool mustDraw = true);
    // The window changed size: the render size follows, the set gets new storage.
    void windowResized(GameHandler& gh);
    OffscreenSet& offscreen() { return offscreen_; }

private:
    // Builds or deletes the off-screen set as the scaling mode asks; true when it did either.
    bool keepTargets(GameHandler& gh);
    // The digest of the frame's picture; nothing when a part of it changes by itself.
    std::optional<uint64_t> pictureKey(const GameHandler& gh, const OverlayInputs& in, const OverlayPlan& plan);
    void draw(GameHandler& gh, const OverlayInputs& in, const OverlayPlan& plan);

    SceneDraw scene_;
    OverlayDraw overlays_;
    Repaint repaint_;
    SceneState sceneState_;
    OverlayState overlayState_;
    std::optional<uint64_t> composedKey_;  // of the picture the window shows
    OffscreenSet offscreen_;
    OverlayRefreshCounter refresh_;
    // The driver could not complete the set: not tried again until scaling is switched off or the
    // window changes size.
    bool buildFailed_ = false;
};
