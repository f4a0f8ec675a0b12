#include "app/frame_composition.h"

#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/picture_key.h"
#include "render/gl_check.h"
#include "render/scene.h"
#include "render/shader.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace {

// A dialog is drawn once its slot is visible and its opening time has come; a visible one not yet
// due is upcoming (kept live so its pixels are there when it opens).
bool due(const PanelSlot& slot, double now) { return slot.visible && now >= slot.openedAt; }

struct Planner {
    const OverlayInputs& in;
    OverlayPlan plan;

    void always(HtmlWindow w) { plan.order.push_back(w); }
    void dialog(HtmlWindow w, const PanelSlot& slot) {
        if (due(slot, in.now)) {
            plan.order.push_back(w);
        } else if (slot.visible) {
            plan.upcoming.push_back(w);
        }
    }
    // The settings window serves several panels; the bio/tutorial window only when none is due.
    void settingsOrBio(std::initializer_list<const PanelSlot*> settings, const PanelSlot& bio) {
        bool any = false, pending = false;
        for (const PanelSlot* slot : settings) {
            any = any || due(*slot, in.now);
            pending = pending || slot->visible;
        }
        if (any) {
            plan.order.push_back(HtmlWindow::GameSettings);
            return;
        }
        if (pending) plan.upcoming.push_back(HtmlWindow::GameSettings);
        dialog(HtmlWindow::BioTut, bio);
    }
    void commonDialogs(const GameHandler& gh) {
        dialog(HtmlWindow::Tasks, gh.tasksPanel);
        dialog(HtmlWindow::MatchStats, gh.lineUpPanel);
        dialog(HtmlWindow::CueStore, gh.cueStorePanel);
        dialog(HtmlWindow::Replays, gh.replaysPanel);
        dialog(HtmlWindow::Alerts, gh.alertsPanel);
    }
};

}  // namespace

OverlayPlan planOverlays(const GameHandler& gh, const OverlayInputs& in) {
    Planner p{in, {}};
    switch (in.appState) {
        case STATE_STARTUP:
        case STATE_LOGIN:
        case STATE_CONNECTING:
            p.always(HtmlWindow::Login);
            break;
        case STATE_LOBBY:
            p.always(HtmlWindow::Lobby);
            p.always(HtmlWindow::TopBox);
            p.dialog(HtmlWindow::Invites, gh.invitesPanel);
            p.settingsOrBio({&gh.gameSettingsPanel, &gh.myAccountPanel}, gh.bioTutPanel);
            p.commonDialogs(gh);
            break;
        case STATE_TABLE:
            if (!in.inTutorial && !in.replayMode && !in.startMatchHidden) p.always(HtmlWindow::StartMatch);
            p.always(HtmlWindow::BottomBox);
            p.always(HtmlWindow::TopBox);
            p.dialog(HtmlWindow::People, gh.peoplePanel);
            p.dialog(HtmlWindow::Invites, gh.invitesPanel);
            p.settingsOrBio({&gh.gameSettingsPanel, &gh.matchSettingsPanel, &gh.myAccountPanel}, gh.bioTutPanel);
            p.commonDialogs(gh);
            p.dialog(HtmlWindow::CoinToss, gh.tutResultPanel);  // the tutorial's result dialog
            break;
        case STATE_COIN_TOSS:
            p.always(HtmlWindow::BottomBox);
            p.always(HtmlWindow::TopBox);
            p.dialog(HtmlWindow::CoinToss, PanelSlot{true, gh.coinTossOpenTime});
            p.dialog(HtmlWindow::People, gh.peoplePanel);
            p.dialog(HtmlWindow::Invites, gh.invitesPanel);
            p.settingsOrBio({&gh.gameSettingsPanel, &gh.matchSettingsPanel, &gh.myAccountPanel}, gh.bioTutPanel);
            p.commonDialogs(gh);
            break;
        case STATE_GAME:
            p.always(HtmlWindow::BottomBox);
            p.always(HtmlWindow::TopBox);
            p.dialog(HtmlWindow::People, gh.peoplePanel);
            p.dialog(HtmlWindow::Invites, gh.invitesPanel);
            p.settingsOrBio({&gh.gameSettingsPanel, &gh.matchSettingsPanel}, gh.bioTutPanel);
            p.commonDialogs(gh);
            p.dialog(HtmlWindow::CoinToss, gh.tutResultPanel);  // the tutorial's result dialog
            break;
        default:
            break;
    }
    return p.plan;
}

RenderSize renderSizeFor(int windowW, int windowH, int scalingMode, int resolutionLimit) {
    RenderSize size{windowW, windowH};
    if (scalingMode == 0 || resolutionLimit >= windowW || resolutionLimit <= 0 || windowW <= 0) return size;
    size.width = resolutionLimit;
    size.height = static_cast<int>(static_cast<float>(resolutionLimit) / static_cast<float>(windowW) *
                                       static_cast<float>(windowH) +
                                   0.5f);
    if (size.height < 647) {
        size.height = 647;
        size.width = static_cast<int>(static_cast<float>(windowW) * (647.0f / static_cast<float>(windowH)) + 0.5f);
    }
    return size;
}

bool OverlayRefreshCounter::countDraw(int appState, HtmlWindow window) {
    const int w = static_cast<int>(window);
    if (appState < 0 || appState >= static_cast<int>(counts_.size()) || w < 0 || w >= HTML_WINDOW_COUNT) return false;
    return ++counts_[appState][w] % 67 == 0;
}

int clampSampleCount(int requested, int maxSamples, int maxColourSamples, int maxDepthSamples) {
    int samples = requested > 1 ? requested : 1;
    for (int limit : {maxSamples, maxColourSamples, maxDepthSamples}) {
        if (limit > 0) samples = std::min(samples, limit);
    }
    return std::max(samples, 1);
}

namespace {

int driverSampleCount(int requested) {
    GLint maxSamples = 0, maxColour = 0, maxDepth = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    glGetIntegerv(GL_MAX_COLOR_TEXTURE_SAMPLES, &maxColour);
    glGetIntegerv(GL_MAX_DEPTH_TEXTURE_SAMPLES, &maxDepth);
    BZ_GL_CHECK();
    return clampSampleCount(requested, maxSamples, maxColour, maxDepth);
}

constexpr float kQuad[24] = {-1, 1, 0, 1, -1, -1, 0, 0, 1, -1, 1, 0, -1, 1, 0, 1, 1, -1, 1, 0, 1, 1, 1, 1};

}  // namespace

bool OffscreenSet::allocate(int width, int height, int requested) {
    samples = driverSampleCount(requested);
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer);
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, sceneColorTexture);
    glTexImage2DMultisample(GL_TEXTURE_2D_MULTISAMPLE, samples, GL_RGB, width, height, GL_TRUE);
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D_MULTISAMPLE, sceneColorTexture, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, sceneDepthStencil);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH24_STENCIL8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, sceneDepthStencil);
    BZ_GL_CHECK();
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (!complete) BZ_LOG(LOG_ERROR, "main", "FRAMEBUFFER:: Framebuffer is not complete!");

    glBindFramebuffer(GL_FRAMEBUFFER, resolveFramebuffer);
    glBindTexture(GL_TEXTURE_2D, resolveTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, resolveTexture, 0);
    BZ_GL_CHECK();
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        BZ_LOG(LOG_ERROR, "main", "FRAMEBUFFER:: Intermediate framebuffer is not complete!");
        complete = false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

bool OffscreenSet::build(int width, int height, int requested) {
    if (screenShader_ == nullptr) {
        screenShader_ = new Shader(kScreenVertexPath, kScreenFragmentPath);  // kept for the whole run
    }
    glGenVertexArrays(1, &screenQuadVao);
    glGenBuffers(1, &screenQuadVbo);
    glBindVertexArray(screenQuadVao);
    glBindBuffer(GL_ARRAY_BUFFER, screenQuadVbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof kQuad, kQuad, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<const void*>(8));
    glBindVertexArray(0);
    glGenFramebuffers(1, &sceneFramebuffer);
    glGenTextures(1, &sceneColorTexture);
    glGenRenderbuffers(1, &sceneDepthStencil);
    glGenFramebuffers(1, &resolveFramebuffer);
    glGenTextures(1, &resolveTexture);
    BZ_GL_CHECK();
    if (!allocate(width, height, requested)) {
        // An incomplete target would leave the scene black: draw straight into the window instead.
        destroy();
        return false;
    }
    screenShader_->use();
    glUniform1i(glGetUniformLocation(screenShader_->id, "screenTexture"), 0);
    modelShared().lastProgram = nullptr;
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer);
    BZ_GL_CHECK();
    return true;
}

bool OffscreenSet::reallocate(int width, int height, int requested) {
    if (!present()) return false;
    if (allocate(width, height, requested)) return true;
    destroy();
    return false;
}

void OffscreenSet::destroy() {
    auto textures = [](unsigned& id) {
        if (id != 0) glDeleteTextures(1, &id);
        id = 0;
    };
    auto framebuffers = [](unsigned& id) {
        if (id != 0) glDeleteFramebuffers(1, &id);
        id = 0;
    };
    textures(resolveTexture);
    framebuffers(resolveFramebuffer);
    if (sceneDepthStencil != 0) glDeleteRenderbuffers(1, &sceneDepthStencil);
    sceneDepthStencil = 0;
    textures(sceneColorTexture);
    framebuffers(sceneFramebuffer);
    if (screenQuadVbo != 0) glDeleteBuffers(1, &screenQuadVbo);
    screenQuadVbo = 0;
    if (screenQuadVao != 0) glDeleteVertexArrays(1, &screenQuadVao);
    screenQuadVao = 0;
    BZ_GL_CHECK();
}

void OffscreenSet::present(int x, int y, int w, int h, int windowW, int windowH, float clearGrey) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, sceneFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer);
    glViewport(0, 0, windowW, windowH);
    glBlitFramebuffer(x, y, x + w, y + h, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(clearGrey, clearGrey, clearGrey, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    screenShader_->use();
    modelShared().lastProgram = nullptr;
    glBindVertexArray(screenQuadVao);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, resolveTexture);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glBindVertexArray(0);
    glEnable(GL_DEPTH_TEST);
    BZ_GL_CHECK();
}

bool FrameComposer::keepTargets(GameHandler& gh) {
    const int mode = gh.gameSettings.scalingMode;
    bool changed = false;
    if (!offscreen_.present() && mode != 0 && !buildFailed_) {
        const RenderSize size = renderSizeFor(windowWidth, windowHeight, mode, gh.gameSettings.resolutionLimit);
        renderWidth = size.width;
        renderHeight = size.height;
        changed = true;
        if (!offscreen_.build(renderWidth, renderHeight, gh.gameSettings.antiAliasing)) {
            buildFailed_ = true;
            renderWidth = windowWidth;
            renderHeight = windowHeight;
        }
    } else if (mode == 0) {
        buildFailed_ = false;
    }
    if (offscreen_.present() && mode == 0) {
        renderWidth = windowWidth;
        renderHeight = windowHeight;
        offscreen_.destroy();
        changed = true;
    }
    return changed;
}

std::optional<uint64_t> FrameComposer::pictureKey(const GameHandler& gh, const OverlayInputs& in,
                                                  const OverlayPlan& plan) {
    if (!sceneState_ || !overlayState_) return std::nullopt;
    PictureKey key;
    const bool table = in.appState >= static_cast<int>(STATE_TABLE);
    if (table) {
        const PictureState scene = sceneState_();
        if (scene.changing) return std::nullopt;
        key.add(scene.key);
    }
    const PictureState overlays = overlayState_(plan);
    if (overlays.changing) return std::nullopt;
    key.add(overlays.key).add(in.appState).add(gh.gameSettings.scalingMode).add(offscreen_.present());
    key.add(windowWidth).add(windowHeight).add(renderWidth).add(renderHeight);
    for (HtmlWindow window : plan.order) key.add(window);
    key.add(HTML_WINDOW_COUNT);
    for (HtmlWindow window : plan.upcoming) key.add(window);
    return key.value();
}

bool FrameComposer::compose(GameHandler& gh, const OverlayInputs& in, bool mustDraw) {
    const bool targetsChanged = keepTargets(gh);
    glBindFramebuffer(GL_FRAMEBUFFER, offscreen_.sceneFramebuffer);
    gh.updateShot();
    const OverlayPlan plan = planOverlays(gh, in);
    // Mends the idle core spent drawing the same picture again every frame.
    const bool unchanged = !mustDraw && !targetsChanged && composedKey_ && pictureKey(gh, in, plan) == composedKey_;
    if (!unchanged) {
        draw(gh, in, plan);
        // Taken after drawing: the passes settle what they derive (the HUD's column, the aim's blend).
        composedKey_ = pictureKey(gh, in, plan);
    }
    // Mends the lost paint that stayed on an idle window: a frame kept counts as one shown, so the
    // whole repaint still comes every 67th frame.
    for (HtmlWindow window : plan.order) {
        if (refresh_.countDraw(in.appState, window)) repaint_(window);
    }
    return !unchanged;
}

void FrameComposer::draw(GameHandler& gh, const OverlayInputs& in, const OverlayPlan& plan) {
    const int mode = gh.gameSettings.scalingMode;
    const bool set = offscreen_.present();
    const bool table = in.appState >= static_cast<int>(STATE_TABLE);
    const bool offscreenScene = set && (mode == 2 || (mode == 1 && table));
    glBindFramebuffer(GL_FRAMEBUFFER, offscreenScene ? offscreen_.sceneFramebuffer : 0);
    if (offscreenScene) {
        glViewport(0, 0, renderWidth, renderHeight);
    } else {
        glViewport(0, 0, windowWidth, windowHeight);
    }
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    BZ_GL_CHECK();

    if (table) {
        scene_();
        if (set && mode == 1) {
            offscreen_.present(gh.viewport[0], gh.viewport[1], gh.viewport[2], gh.viewport[3], windowWidth,
                               windowHeight, 0.0f);
        }
    }

    overlays_(plan);

    if (set && mode == 2) offscreen_.present(0, 0, renderWidth, renderHeight, windowWidth, windowHeight, 1.0f);
    glFlush();
    BZ_GL_CHECK();
}

void FrameComposer::windowResized(GameHandler& gh) {
    buildFailed_ = false;
    composedKey_.reset();
    if (!offscreen_.present()) return;
    const RenderSize size = renderSizeFor(windowWidth, windowHeight, gh.gameSettings.scalingMode,
                                          gh.gameSettings.resolutionLimit);
    renderWidth = size.width;
    renderHeight = size.height;
    if (!offscreen_.reallocate(renderWidth, renderHeight, gh.gameSettings.antiAliasing)) {
        renderWidth = windowWidth;
        renderHeight = windowHeight;
    }
}
