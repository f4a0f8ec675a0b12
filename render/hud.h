// The aiming HUD over the 3D viewport: the power and elevation column, their digits and the spin
// widget. Geometry comes from the game controller's layout (GameHandler::getPowerBarLayout and
// getQBallWidgetPlacement), which the mouse uses too. Pixels are viewport pixels, y up.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "client/gamehandler/game_handler.h"
#include "render/hud_textures.h"

class InlinePrograms;

// Where the column starts: the largest projected x of the rail-top corners in front of the camera,
// at most width - 32; width - 32 when none is in front.
double hudColumnX(const float* projection, const float* view, int width, int height);
void updateHudColumnX(GameHandler& gh, const float* projection, const float* view);

// The HUD texts: the integer elevation and the glyph shown for degrees; the power percentage,
// rounded, at least 1.
std::string elevationText(double elevation);
std::string powerText(double power, double maxPower);
// Index in the 11-glyph digit strip: '0'..'9' are digits, anything else is the eleventh glyph.
int digitGlyph(char c);
// Left edge of each text, moved right so that short texts stay centred over the column.
int elevationTextX(int barRight, size_t length);
int powerTextX(int barRight, size_t length);

// The glyph quads of a text, 9 x 13 pixels advancing 10, as NDC x, y, u, v (4 floats a vertex, 6
// vertices a character), appended to out.
void appendTextQuads(const std::string& text, int x, int y, int width, int height, std::vector<float>& out);

// The 54 bar vertices (7 floats) in draw order: 18 panel triangles, 12 power fill triangles, 9
// outline strip points, 5 track outline points, 6 knob triangles and 4 knob outline points.
inline constexpr int kHudPanelVertices = 18, kHudFillVertices = 12, kHudOutlineVertices = 9,
                     kHudTrackOutlineVertices = 5, kHudKnobVertices = 6, kHudKnobOutlineVertices = 4;
std::vector<float> hudBarVertices(const GameHandler::PowerBarLayout& layout, double elevation, int width, int height);

// The widget quad and, when the tip lies on the ball (within 1.1 on both axes), the marker quad:
// NDC x, y per vertex, 6 vertices each; empty marker when none is shown.
struct QBallQuads {
    std::vector<float> ball, marker;
};
QBallQuads qBallWidgetQuads(int x, int y, int size, float scale, float tipX, float tipY, bool scaledTip, int width,
                            int height);

void drawHud(const GameHandler& gh, InlinePrograms& programs);
void drawDigits(const GameHandler& gh, InlinePrograms& programs, unsigned digitTexture, const std::string& elevation,
                const std::string& power, int elevationX, int elevationY, int powerX, int powerY);
void drawQBallWidget(const GameHandler& gh, InlinePrograms& programs, const HudTextures& textures, bool cueClear,
                     float transparency, float scale, float tipX, float tipY);

// How far the spin widget has faded out after a stroke: the fraction in [0, 1) of the fade (which
// lasts 0.2 s for the softest stroke down to 0.1 s for the hardest, from the stroke's start on the
// game or replay clock), or -1 when no fade is under way.
double spinWidgetFade(const GameHandler& gh);

// The scene's HUD step, after the aim lines: the column (recomputed when marked dirty), its digits
// and bars while an aim is shown, and the spin widget for a white cue ball; while a ball moves only
// the spin widget's fade after the stroke. The GL viewport must be the 3D viewport.
void drawAimingHud(GameHandler& gh, InlinePrograms& programs, const HudTextures& textures, const float* projection,
                   const float* view);
