// The scene textures the aiming HUD draws with: the spin widget's ball, its two tip markers and the
// digit strip. Kept apart from the HUD so that the drawing needs no scene header.
#pragma once

struct HudTextures {
    unsigned ball = 0, tipClear = 0, tipBlocked = 0, digits = 0;
};

// From the loaded scene (zeros until its textures are loaded).
HudTextures sceneHudTextures();
