#include "app/client_neighbours.h"
#include "client/gamehandler/game_handler.h"

void ClientNeighbours::updateGame() { ShellNeighbours::updateGame(); }
GameInputFlags ClientNeighbours::gameInputFlags() { return ShellNeighbours::gameInputFlags(); }
bool ClientNeighbours::keyDown(SDL_Keycode key, int renderX, int renderY) {
    return getGameHandler().keyDown(key, renderX, renderY);
}
void ClientNeighbours::keyUp(SDL_Keycode key, int, int) { getGameHandler().keyUp(key); }
void ClientNeighbours::gameViewMouseEvent(const SDL_Event& event) { ShellNeighbours::gameViewMouseEvent(event); }
