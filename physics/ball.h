// One ball of a table: identity, spot, position, motion, pending contact and pocket state.
// Table coordinates: mm, origin at the table centre, +x towards the baulk end, z across,
// y the height of the centre (the radius on the bed, negative in a pocket); times in s.
#pragma once

#include <string>

#include "physics/geometry.h"

class Table;

enum BallId : int {
    BALL_WHITE = 0,
    BALL_GHOST = 1,
    BALL_YELLOW = 2,
    BALL_GREEN = 3,
    BALL_BROWN = 4,
    BALL_BLUE = 5,
    BALL_PINK = 6,
    BALL_BLACK = 7,
    BALL_ORANGE = 8,
    BALL_PURPLE = 9,
    BALL_FIRST_RED = 10,
    BALL_LAST_RED = 24,
};
constexpr int kBallCount = 25;
constexpr int kPocketCount = 6;
constexpr int kPocketArcCount = 24;

constexpr double kNoSpot = 99999.99999;
// What distanceIfOnTable gives when either ball is off the table.
constexpr double kOffTableDistance = 147147147.14714715;

// What a ball touches: jaw arc i is kContactArc + i, pocket p is kContactPocket + p.
constexpr int kContactArc = 100;
constexpr int kContactSideMinusZ = 124;
constexpr int kContactEndPlusX = 125;
constexpr int kContactSidePlusZ = 126;
constexpr int kContactEndMinusX = 127;
constexpr int kContactPocket = 200;

// Scales the drawn rotation from the vertical spin; a table type change puts it back to 0.5.
extern double visualSpinFactor;
// Where the fall animation takes a pocketed ball, by pocket number.
extern const double pocketCentres[kPocketCount][2];

// True for a NaN, with one log line; the caller replaces the value by 0.
bool myIsNan(double value);

class Ball {
public:
    Ball() = default;
    Ball(Table* table, int id, const std::string& name, int value, double spotX, double spotZ);

    int id = 0;
    std::string name;
    double spotX = -9999.0, spotZ = -9999.0;
    int value = 0;
    bool onTable = false;
    bool fallingInPocket = false;
    int pocket = -1;
    double pocketTime = 0;
    double x = 9999.0, y = 0, z = 9999.0;
    // Velocity of the centre, the velocity at which the present spin about horizontal axes
    // would roll the ball without slipping, and the vertical spin as equator surface speed.
    double vx = 0, vz = 0, rollVx = 0, rollVz = 0, spinY = 0;
    // Pull of a pocket rim, recomputed every sub-step.
    double accelX = 0, accelZ = 0;
    Quaternion orientation;

    // A contact found by the searches, applied by advance when the step reaches it.
    bool contactPending = false;
    double contactTime = 0, contactNormalSpeed = 0, contactTangentSpeed = 0;
    double contactX = 0, contactZ = 0;
    double nextVx = 0, nextVz = 0, nextRollVx = 0, nextRollVz = 0, nextSpinY = 0;
    Ball* contactBall = nullptr;
    double lastContactX = 0, lastContactZ = 0, lastContactTime = -1;

    Table* table = nullptr;
    double throwFactor = 1;
    double distanceTravelled = 0;

    bool isMoving() const {
        return onTable && (vx != 0 || vz != 0 || rollVx != 0 || rollVz != 0 || spinY != 0 || contactPending);
    }
    double distanceTo(const Ball& other) const;
    double distanceIfOnTable(const Ball& other) const;
    // The first ball of the array on the table, of another id, closer than [47] + tolerance.
    bool findTouchingBall(const Ball* balls, int count, double tolerance, double* distance = nullptr) const;
    // May this ball stand at (x, z): on the bed, or in a pocket mouth clear of the jaws and
    // outside the capture circle; with checkBalls also clear of the other balls (not the Ghost).
    bool isValidPosition(bool checkBalls, double x, double z, double tolerance, double* distance = nullptr) const;
    // Is a cue laid behind this ball along the aim (degrees), raised by the elevation (degrees) and
    // offset by the spins (percent), clear of the other balls of the array on the table and of the
    // cushion rails? distance receives the distance of the last test made (informational).
    bool traceAimLine(const Ball* balls, int count, double aimAngle, double elevation, double topSpin, double sideSpin,
                      double* distance = nullptr) const;
    // The aim's angle with the cosines and sines of its elevation and direction, for many traces of
    // one aim.
    struct AimDirection {
        double aimAngle, cosE, sinE, cosPhi, sinPhi;
    };
    static AimDirection aimDirection(double aimAngle, double elevation);
    bool traceAimLine(const Ball* balls, int count, const AimDirection& direction, double topSpin, double sideSpin,
                      double* distance = nullptr) const;
    // Back on the table after a pocket: its spot, the colour spots, its spot line; reds on the
    // centre line. Always somewhere on the bed.
    void respot(Ball* balls, int count);

    // The motion reset every stroke gives all balls before it sets the struck one moving.
    void resetForStroke();

    // Searches lower earliest (s from the start of the sub-step) and fill the pending contact.
    bool timeToBallContact(Ball& other, double& earliest, int* thisId, int* otherId, double now);
    // True for a cushion or jaw contact; pocketFlag becomes 200 + pocket when the ball enters a
    // pocket first (the caller sets it to 0).
    bool collideWithCushionsAndPockets(double& earliest, int* ballId, int* contactCode, int& pocketFlag);
    bool timeToPocketArcContact(int arc, double& earliest, int* ballId, int* contactCode, double& normalAngle);
    bool timeToPocketEntry(int pocket, double& earliest, int* ballId, int* contactCode, int& pocketFlag);

    // Moves the ball by dt (or applies its pending contact) and animates a pocketed ball. True
    // when the ball came to rest or its pocket animation ended in this step. The flags report a
    // drop into an empty pocket and onto balls already in it.
    bool advance(bool airborne, bool* droppedIntoEmptyPocket, bool* droppedOntoBalls, double dt, double now);

private:
    bool findTouchingBallAt(double px, double pz, const Ball* balls, int count, double tolerance,
                            double* distance) const;
    bool freeAt(double px, double pz, const Ball* balls, int count) const;
    bool placeIfFree(double px, double pz, const Ball* balls, int count);
    bool respotAnywhere(const Ball* balls, int count);
    void setBallContactResponse(Ball& other, double t, double now);
    void setCushionResponse(double normalAngle, int code);
    void rotateDrawn(double dt);
    void applyClothFriction(double dt);
    bool animatePocketFall(bool* droppedIntoEmptyPocket, bool* droppedOntoBalls, double dt, double now);
};
