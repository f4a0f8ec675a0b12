#include "app/client_neighbours.h"

bzweb::RefPtr<bzweb::WebApp> ClientNeighbours::makeWebApp() { return ShellNeighbours::makeWebApp(); }
void ClientNeighbours::createHtmlWindows() { ShellNeighbours::createHtmlWindows(); }
bool ClientNeighbours::isMouseOver(HtmlWindow window, int x, int y) { return ShellNeighbours::isMouseOver(window, x, y); }
MouseCapture ClientNeighbours::mouseCapture() { return ShellNeighbours::mouseCapture(); }
void ClientNeighbours::windowDragEvent(const SDL_Event& event) { ShellNeighbours::windowDragEvent(event); }
void ClientNeighbours::sendToPage(HtmlWindow window, const SDL_Event& event, const PageInputGeometry& geometry) {
    ShellNeighbours::sendToPage(window, event, geometry);
}
void ClientNeighbours::pointerLeftPage(HtmlWindow window) { ShellNeighbours::pointerLeftPage(window); }
void ClientNeighbours::actOnPageFlags(bool replayModeChanged) { ShellNeighbours::actOnPageFlags(replayModeChanged); }
bool ClientNeighbours::takePageStartedReport() { return ShellNeighbours::takePageStartedReport(); }
std::string ClientNeighbours::loadFirstPendingPage() { return ShellNeighbours::loadFirstPendingPage(); }
void ClientNeighbours::pumpEngine() { ShellNeighbours::pumpEngine(); }
