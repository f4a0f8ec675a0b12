// The dispatch of the server's messages: GameHandler::processMessage (declared with the game
// controller) switches on the message id and, for INFO, on the code (info_routes.h); chat is shown
// at once or held while the balls move.
#pragma once

// Makes GameHandler::processMessageQueue hand every drained message to
// GameHandler::processMessage. The shell calls it once at start-up.
void installMessageDispatch();
