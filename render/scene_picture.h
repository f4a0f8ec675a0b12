// Whether the table scene would come out the same as when it was last drawn: what changes it by
// itself from one frame to the next (rolling balls, a stroke, a replay playing, the pulses and fades
// of the markers, the cue's pulse while it is aimed, the opponent's aim easing), and a digest of
// everything else it is drawn from.
#pragma once

#include "client/gamehandler/game_handler.h"

#include <cstdint>

struct ScenePicture {
    bool animating = false;
    uint64_t key = 0;
};

// Chooses the frame's camera set and projection first, as the scene pass does, so the digest is of
// the camera the scene would be drawn with.
ScenePicture scenePicture(GameHandler& gh);
