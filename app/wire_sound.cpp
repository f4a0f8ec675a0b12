#include "app/client_neighbours.h"

void ClientNeighbours::applyGameSettings() { ShellNeighbours::applyGameSettings(); }
void ClientNeighbours::closeAudio() { ShellNeighbours::closeAudio(); }
