// The HTML bridge in the shell: the engine's application object, the fifteen windows, input to the
// pages, the title-bar drag, the pages' flags and the page start-up list.
#include "app/client_neighbours.h"

#include "app/shell_globals.h"
#include "app/window_layout.h"
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/state_change.h"
#include "ui/html_app.h"
#include "ui/html_requests.h"
#include "ui/html_windows.h"
#include "ui/page_input.h"

#include <utility>

namespace {

// What the last step of the page start-up did, between the loop's two questions.
PageStartupStep lastStartupStep = PageStartupStep::Waiting;

}  // namespace

bzweb::RefPtr<bzweb::WebApp> ClientNeighbours::makeWebApp() {
    return bzweb::RefPtr<bzweb::WebApp>(new HtmlApp(htmlRouterConfig()));
}

void ClientNeighbours::createHtmlWindows() {
    markStateMainThread();
    ::createHtmlWindows(getGameHandler().basePath, bottomAreaPixels, SDL_GetTicks());
    setWindowRefresher(refreshHtmlWindow);
    setStateLayoutHook(layoutForState);
    GameHandler::setBottomBoxSizer(setBottomBoxFullSize);
    // Another user's bio opens the bio panel.
    GameHandler::setBioPanelOpener(
        [](GameHandler& gh, const std::vector<std::string>& bio) { gh.openBio(bio); });
}

bool ClientNeighbours::isMouseOver(HtmlWindow window, int x, int y) { return isMouseOverHtmlWindow(window, x, y); }

MouseCapture ClientNeighbours::mouseCapture() {
    MouseCapture capture;
    // Captured once the press has been handled: the press itself goes where the pointer is, and the
    // page that gets it becomes the capturing page.
    capture.captured = windowDrag.active;
    capture.window = capture.captured ? windowDrag.captureWindow : -1;
    return capture;
}

void ClientNeighbours::windowDragEvent(const SDL_Event& event) {
    beginWindowDragEvent();
    switch (event.type) {
        case SDL_MOUSEMOTION:
            if (windowDrag.requested) dragWindow();
            break;
        case SDL_MOUSEBUTTONDOWN:
            startWindowDrag(getGameHandler().mouseCaptured);
            break;
        case SDL_MOUSEBUTTONUP:
            if (windowDrag.active) checkMouseButtonsReleased();
            break;
        default:
            break;
    }
}

void ClientNeighbours::windowDragEventDone() { endWindowDragEvent(); }

void ClientNeighbours::sendToPage(HtmlWindow window, const SDL_Event& event, const PageInputGeometry& geometry) {
    // The page that gets the press which armed the drag keeps the mouse until the release.
    if (windowDrag.armed) windowDrag.captureWindow = static_cast<int>(window);
    bzweb::RefPtr<HtmlRenderHandler> render = htmlRenderHandler(window);
    if (!render) return;
    const OverlayRect rect = render->rect();
    PagePlacement placement;
    placement.left = rect.x;
    placement.top = geometry.gridHeight - rect.y - rect.height;
    placement.targetWidth = geometry.gridWidth;
    placement.targetHeight = geometry.gridHeight;
    placement.windowWidth = geometry.windowWidth;
    placement.windowHeight = geometry.windowHeight;
    handleBrowserEvent(event, htmlBrowser(window), placement);
}

void ClientNeighbours::pointerLeftPage(HtmlWindow window) {
    bzweb::RefPtr<bzweb::WebBrowser> browser = htmlBrowser(window);
    bzweb::MouseEvent away;
    away.x = away.y = -1;
    if (browser) browser->GetHost()->SendMouseMoveEvent(away, false);
}

void ClientNeighbours::actOnPageFlags(bool replayModeChanged) {
    HtmlRequests& requests = getHtmlRequests();
    if (requests.dragWindowRequested) {
        requests.dragWindowRequested = false;
        requestWindowDrag();
    }
    if (requests.maximizeRequested) {
        requests.maximizeRequested = false;
        toggleMaximize();
    }
    GameHandler& gh = getGameHandler();
    if (requests.povRequested) {
        requests.povRequested = false;
        // The page's button only leaves the first-person view; Space enters it.
        gh.leavePOVMode();
    }
    // Ctrl+D asks for the layout again, with Shift also for the other size.
    if (const int layout = std::exchange(gh.bottomBoxLayoutRequest, 0)) {
        requests.bottomBoxChanged = true;
        if (layout == 2) requests.bottomBoxFullSize = !gh.bottomBoxFullSize;
    }
    if (requests.bottomBoxChanged) {
        requests.bottomBoxChanged = false;
        setBottomBoxFullSize(true, requests.bottomBoxFullSize);
    }
    layoutBottomArea(replayModeChanged, [this] { setViewport(false); });
}

void ClientNeighbours::resizePages() {
    // The pages are laid out in the render grid when it is scaled up as a whole, else in the window.
    const bool renderGrid = getGameHandler().gameSettings.scalingMode == 2;
    resizeHtmlWindows(renderGrid ? renderWidth : windowWidth, renderGrid ? renderHeight : windowHeight, -1);
    sendTopBoxSizeAndPlace();
}

bool ClientNeighbours::takePageStartedReport() {
    lastStartupStep = getHtmlRequests().stepPageStartup(SDL_GetTicks());
    return lastStartupStep != PageStartupStep::Waiting;
}

std::string ClientNeighbours::loadFirstPendingPage() {
    const HtmlRequests& requests = getHtmlRequests();
    if (lastStartupStep != PageStartupStep::Loaded || requests.pendingHtmls.empty()) return {};
    return requests.pendingHtmls.front().htmlId;
}

void ClientNeighbours::pumpEngine() { ShellNeighbours::pumpEngine(); }
