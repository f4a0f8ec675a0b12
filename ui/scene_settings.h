// The renderer's part of the game settings, kept apart from the game controller's headers (the
// renderer and the physics each have a Vec3 of their own).
#pragma once

// Rebuilds the lighting programs from the first set or the second, and picks the cue ball's model.
void applySceneSettings(bool firstLightingSet, int cueBallDesign);
