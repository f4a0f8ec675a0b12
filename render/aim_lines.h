// The aiming guide lines laid flat on the cloth: the cue ball's path, the ghost ball, the object
// ball's path and the cue ball's path after contact, drawn from the prediction the game controller
// holds (it is never recomputed here). The geometry is built without GL so that it can be tested.
#pragma once

#include <cstddef>
#include <vector>

// Matrices are 16 floats, column-major as GL takes them (Mat4::data()).

class GameHandler;
class InlinePrograms;

// The rectangle the aim rays end on (ball-centre millimetres) and its four corners by row.
inline constexpr double kCushionHalfX = 1832.13;
inline constexpr double kCushionHalfZ = 936.63;
inline constexpr double kAimBallRadius = 26.25;
inline constexpr double kAimLineHalfWidth = 2.625;
inline constexpr int kAimVertexFloats = 7;  // x, y, z, r, g, b, a
// The bar column's 54 vertices sit at the end of the "Aim lines" buffer; the lines fill the rest.
inline constexpr size_t kHudVertexCount = 54;
size_t aimLineVertexCapacity();
extern const float kIdentityMatrix[16];

// Distance from (x, z) along angle (degrees) to the cushion rectangle; side receives 0 (-x end),
// 1 (+z side), 2 (+x end), 3 (-z side) or -1 (none, distance 0). When adjacent is asked for, it is
// 1 when side neighbours fromSide, with the corner between them in cornerX/cornerZ; else 0. Any
// pointer may be null.
double cushionRayDistance(int fromSide, int* side, int* adjacent, double* cornerX, double* cornerZ, double x, double z,
                          double angle);

// The cue-ball segment, start and end distances from the cue ball's centre along the aim.
struct CueLineSpan {
    double start, end;
};
CueLineSpan cueBallLineSpan(int extendedCueBallLine, bool predicted, double contactDistance, double cushionDistance);

struct LineColour {
    float r, g, b;
};
// The colour every line of one aim takes, by the settings, the colour table and Arezor 5.
LineColour aimLineColour(const GameHandler& gh, int predictedBall);

// The alpha of each kind of line under the settings and Arezor 4.
struct AimLineAlphas {
    float cueLine, approach, ghostBall, cueAfterContact, aimMargin, objectMargin, objectLine;
};
AimLineAlphas aimLineAlphas(bool errorMargins, bool thickLines, bool arezor4);

// One aim to draw: the angle, the index of the ball aimed and its position.
struct AimLineSource {
    double angle;
    int ballIndex;
    double x, z;
};
AimLineSource ownAimSource(const GameHandler& gh);
AimLineSource remoteAimSource(const GameHandler& gh);

// Appends the triangles of every line of the aim to out (7 floats a vertex), at most the buffer's
// capacity; returns the number of vertices.
size_t buildAimLineVertices(const GameHandler& gh, const AimLineSource& source, std::vector<float>& out);

// Builds and draws the lines of one aim with the "Aim lines" program (the GL state is restored to
// depth test and culling on, blending off).
void drawAimLines(const GameHandler& gh, InlinePrograms& programs, const AimLineSource& source, const float* projection,
                  const float* view);

// The scene's aim-line pass: the own aim while aiming, else the opponent's shared aim; nothing while
// a ball moves. It also offers POV mode in the bottom bar while the governing aim is shown.
void drawAimLinePass(GameHandler& gh, InlinePrograms& programs, const float* projection, const float* view);

// Aiming flags the pass and the HUD share.
bool aimingNow(const GameHandler& gh);
bool remoteAimDrawn(const GameHandler& gh);
bool remoteAimLinesShown(const GameHandler& gh);
