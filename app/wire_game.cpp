#include "app/client_neighbours.h"
#include "client/gamehandler/game_handler.h"

void ClientNeighbours::updateGame() { getGameHandler().update(); }
GameInputFlags ClientNeighbours::gameInputFlags() {
    GameInputFlags flags;
    flags.coinTossPrompt = getGameHandler().coinTossPromptOpen();
    flags.gameViewCaptured = getGameHandler().mouseCaptured;
    return flags;
}
bool ClientNeighbours::keyDown(SDL_Keycode key, int renderX, int renderY) {
    return getGameHandler().keyDown(key, renderX, renderY);
}
void ClientNeighbours::keyUp(SDL_Keycode key, int, int) { getGameHandler().keyUp(key); }
void ClientNeighbours::gameViewMouseEvent(const SDL_Event& event) { getGameHandler().handleMouseEvent(event); }
