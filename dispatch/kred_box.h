// The Kred Box reactions to the pages' buttons "kbox-opened", "kbox-collect" and "kbox-collected":
// the page-button dispatcher calls them by name.
#pragma once

class GameHandler;

// The box opened while the user is at the table: one live "Collect Kred" link in the table chat
// (an older link is emptied) and the opening sound.
void kredBoxOpened(GameHandler& gh);
// Asks the server for the box's content (INFO KRED_BOX_COLLECT).
void kredBoxCollect(GameHandler& gh);
// The content was collected: the live link becomes the collected amount, and the sound.
void kredBoxCollected(GameHandler& gh);
