#include "app/client_neighbours.h"

void ClientNeighbours::initScene() { ShellNeighbours::initScene(); }
void ClientNeighbours::setViewport(bool refitCamera) { ShellNeighbours::setViewport(refitCamera); }
void ClientNeighbours::drawFrame() { ShellNeighbours::drawFrame(); }
void ClientNeighbours::windowResized() { ShellNeighbours::windowResized(); }
bool ClientNeighbours::loadResourcesStep() { return ShellNeighbours::loadResourcesStep(); }
