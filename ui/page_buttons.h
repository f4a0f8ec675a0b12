// The HTML layer's page buttons (panels, pasting, the Kred Box), handed to the game controller's
// button dispatcher.
#pragma once

// Idempotent; the request bridge installs them before it passes the first button on.
void installPanelButtons();
