// Pieces of the stroke model that the aiming code and the renderer share: the cue-tip grid and
// the angle folds.
#pragma once

constexpr int kTipGridRings = 21;
// Sector counts of the cue-tip grid, by ring (ring r lies 5 r percent off centre); every stroke
// sets ring 1 from the table version (16 for version 1, 8 otherwise).
extern int tipGridSectorCounts[kTipGridRings];

// The tip offset (percent, top and side) snapped to its cell of the tip grid.
void snapTipOffset(double topSpin, double sideSpin, double& top, double& side);
// The same direction in (-180, 180] degrees; a non-finite angle becomes 0.
double normalizeAngleDegrees(double angle);
// The unsigned angle (0..180 degrees) between two directions d degrees apart.
double foldedAngleDifference(double d);
