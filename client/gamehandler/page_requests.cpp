// What the pages' requests ask of the game controller, as far as it is built: each operation logs
// that it was asked; the panels, chat, view modes and buttons fill these in.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/log.h"

int TableState::getTableId() const { return table.getId(); }

