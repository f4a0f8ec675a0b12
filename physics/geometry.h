// Small plane and space geometry, the ball orientation quaternion, smoothstep and a bounded
// Gaussian pair. Points are (x, z) in the table plane or (x, y, z) in space.
#pragma once

// Space points and lines in double precision; a namespace of their own, as the renderer has a float
// Vec3 of its own and both meet in the files that draw the game.
namespace phys {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Distance of Q from the line through P along D.
double distancePointToLine3d(const Vec3& p, const Vec3& d, const Vec3& q);
// Signed distance from P along the line to the foot of the perpendicular from Q.
double projectOnLine(const Vec3& p, const Vec3& d, const Vec3& q);
// Distance between two lines that are not parallel.
double distanceBetweenLines(const Vec3& p1, const Vec3& d1, const Vec3& p2, const Vec3& d2);

}  // namespace phys

// Intersection of the line through (ax, az) at angle a1 with the one through (bx, bz) at a2
// (radians); false for parallel lines, the outputs then untouched.
bool intersectLines(double& x, double& z, double ax, double az, double a1, double bx, double bz, double a2);
// The point (px, pz) turned about (cx, cz) by angle radians.
void rotatePoint(double& x, double& z, double cx, double cz, double px, double pz, double angle);
// Angle in radians between two plane vectors; 0 when either is (nearly) zero.
double angleBetween(double ax, double az, double bx, double bz);
double smoothstep(double a, double b, double v);
// Two standard normal values from drand48; with bound > 0 both are below it in magnitude.
void gaussianPair(double& g1, double& g2, double bound);

struct Quaternion {
    float w = 1, x = 0, y = 0, z = 0;

    // this := this x other (Hamilton product).
    void multiply(const Quaternion& other);
    // this := r x this, r the rotation by angle degrees about the (unit) axis; so the rotation
    // acts after the present orientation, about a fixed table axis.
    void rotate(float angleDegrees, float ax, float ay, float az);
    // Normalises in place; the axis is a unit vector, (0, 1, 0) for no rotation.
    void toAxisAngle(float& angleDegrees, float& ax, float& ay, float& az);
};
