// The playing edge of the table in scene millimetres: cushion noses along the physics' cushion
// lines and jaw arcs, the pocket centres, and the fixed sizes of rails, frame and legs.
#pragma once

#include <array>
#include <vector>

#include "physics/params.h"
#include "tools/assetgen/mesh.h"

namespace assetgen {

// The constants that shape the cushions and pockets, taken from one or two TableParams records.
struct JawConstants {
    double length = 0, width = 0, offset = 0;           // [36], [37], [38]
    double corner[8] = {};                              // [81] .. [88]
    double middle[7] = {};                              // [90] .. [96]
    double middleOffset = 0;                            // [99]
    double ballRadius = 0;                              // [48]
};

// The two cushion sets: CLUB stands halfway between the type-1 records of both versions (they
// differ by 2 mm at the corner jaws), PRO on the type-2 records (equal in every jaw constant).
JawConstants jawConstants(bool club);

struct ArcSpec {
    double x = 0, z = 0, radius = 0, minAngle = 0, maxAngle = 0;
};
std::array<ArcSpec, 24> jawArcs(const JawConstants& k);

// One cushion's nose line, walked with the bed on the left (seen from above, +y): each point with
// the unit direction away from the bed.
struct NosePoint {
    P2 at;
    P2 out;
    double maxDepth = 1e9;  // how far back the cushion may reach here without folding (arcs)
};
std::vector<std::vector<NosePoint>> cushionNoses(const JawConstants& k);

// Pocket centres (the capture circles' centres) by pocket number 0..5.
std::array<P2, 6> pocketCentres(const JawConstants& k);

// Fixed sizes of the furniture, mm.
constexpr double kRailTop = 37;            // rail top above the cloth
constexpr double kRailOuterX = 1904.5;     // the table with its rails is 3809 x 2018
constexpr double kRailOuterZ = 1009;
constexpr double kCushionDepth = 50;       // nose to the wooden rail
constexpr double kCornerHole = 63;         // pocket hole radii in bed and rail
constexpr double kMiddleHole = 56;
constexpr double kBodyBottom = -190;       // underside of the table body
constexpr double kFloor = -851;            // floor below the cloth
constexpr double kNoseHeight = 26.25;      // the nose line lies at the ball centre height

}  // namespace assetgen
