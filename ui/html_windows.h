// The fifteen HTML windows: their names, pages and layout, their browsers for the whole run, the
// statements every part of the client runs in them, and what the frame loop does with them each
// frame (draw the overlays of the state in order, hide the others, resize, hit test).
#pragma once

#include "core/page_script.h"
#include "ui/engine/web_browser.h"
#include "ui/html_render_handler.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct HtmlWindowInfo {
    HtmlWindow window;
    const char* name;  // the htmlId its page reports when it has started
    const char* page;  // the page's path in the resource archive and under the base folder
    OverlayLayout layout;
};

// The windows in creation order.
const std::array<HtmlWindowInfo, HTML_WINDOW_COUNT>& htmlWindowTable();
const HtmlWindowInfo& htmlWindowInfo(HtmlWindow window);

// The page every window shows until its own page is loaded; a file under the base folder.
inline constexpr const char* kBootstrapPage = "res/vidoda0.html";

// Creates one window on the bootstrap page (the engine is running). False when the engine gives no
// browser.
bool createHtmlWindow(HtmlWindow window, const std::string& basePath, int windowWidth, int windowHeight,
                      int bottomAreaHeight);

// Creates the fifteen windows in order at 1024 x 647, installs the statement sink that runs
// runJavaScript's statements in them (from any thread, in call order per window), reads each page
// from the resource archive and puts the pages on the page start-up list (the first one is loaded
// 2222 ms after nowMs). A page missing from the archive is left out with one ERROR line.
// Returns the number of windows created.
int createHtmlWindows(const std::string& basePath, int bottomAreaHeight, int64_t nowMs);

// Makes runJavaScript run its statements in these windows (createHtmlWindows does it too).
void installHtmlPageScriptSink();

// Removes the statement sink, closes the browsers and forgets the windows.
void destroyHtmlWindows();

bzweb::RefPtr<bzweb::WebBrowser> htmlBrowser(HtmlWindow window);
bzweb::RefPtr<HtmlRenderHandler> htmlRenderHandler(HtmlWindow window);

// Draws the overlays in the given order (GL context current, main thread) and hides every other
// window, since an undrawn page costs browser memory and CPU. A window drawn again after being
// hidden is shown and repainted first; its new pixels arrive a few frames later, so windows about
// to be drawn (a dialog waiting for its opening time) are best kept shown through `upcoming`.
void drawHtmlOverlays(const std::vector<HtmlWindow>& order, const std::vector<HtmlWindow>& upcoming = {});
// What drawHtmlOverlays(order) would show (see overlayPicture).
OverlayPicture htmlOverlayPicture(const std::vector<HtmlWindow>& order);
// Only the visibility part: shows the listed windows and hides the others.
void showOnlyHtmlWindows(const std::vector<HtmlWindow>& shown);
// Shows a window and has its page repainted whole (the refresh of a state change).
void refreshHtmlWindow(HtmlWindow window);
bool htmlWindowShown(HtmlWindow window);

// New window size and bottom-area height (below 0: the last one given); the browser hears of a
// new view size.
void resizeHtmlWindow(HtmlWindow window, int windowWidth, int windowHeight, int bottomAreaHeight);
// Every window: all the rectangles, then every browser hears of its view, in creation order.
void resizeHtmlWindows(int windowWidth, int windowHeight, int bottomAreaHeight);

// The pointer, in pixels from the window's top-left corner, is over the window's rectangle.
bool isMouseOverHtmlWindow(HtmlWindow window, int px, int py);
