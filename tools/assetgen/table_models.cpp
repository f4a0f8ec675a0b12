#include "tools/assetgen/table_models.h"

#include <cmath>
#include <numbers>
#include <string>

#include "tools/assetgen/table_shape.h"

namespace assetgen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTableScale = 100;
constexpr double kClothTexelX = 3664.26, kClothTexelZ = 1873.26;  // the markings image's span

// The cushion's cross-section: (distance behind the nose, height). The nose point at the ball
// centre height lies exactly on the physics' cushion line.
const std::vector<P2> kCushionProfile = {{18, 0},    {3.5, 16},  {0.6, 21.5}, {0, kNoseHeight}, {0.6, 31},
                                         {2.8, 34.3}, {7, 36.2}, {kCushionDepth, 36.6}, {kCushionDepth, 0}};

Model tableModel(const std::string& name) {
    Model m;
    m.objPath = "res/table/" + name + ".obj";
    m.scale = {kTableScale, kTableScale, kTableScale};
    return m;
}

// The bed's texture coordinates: the markings image spans the pocket centre lines, its rows along
// the table (row 0 at the black end), its columns across.
void bedUv(Vertex& v) {
    v.u = (v.position.z + kClothTexelZ / 2) / kClothTexelZ;
    v.v = 1 - (v.position.x + kClothTexelX / 2) / kClothTexelX;
}

// The inner edge of the rails, or the bed's edge, on the +z half from (X, 0) to (-X, 0): a
// rectangle's edges with the pocket holes cut out as arcs about the pocket centres. The bed's edge
// takes the part of each circle inside the rectangle, the rail's the part outside.
std::vector<P2> notchedHalf(double X, double Z, const std::array<P2, 6>& pockets, double rc, double rm, bool bed) {
    std::vector<P2> path;
    auto arc = [&](P2 c, double r, P2 from, P2 to) {
        double a = std::atan2(from.z - c.z, from.x - c.x), b = std::atan2(to.z - c.z, to.x - c.x);
        // Of the two ways round from a to b, the one whose middle lies on the wanted side.
        double up = b > a ? b : b + 2 * kPi, down = b < a ? b : b - 2 * kPi;
        double mid = (a + up) / 2;
        P2 m{c.x + r * std::cos(mid), c.z + r * std::sin(mid)};
        bool inside = std::abs(m.x) < X && std::abs(m.z) < Z;
        double end = inside == bed ? up : down;
        int steps = std::max(4, static_cast<int>(std::ceil(std::abs(end - a) / (4 * kPi / 180))));
        for (int i = 0; i <= steps; ++i) {
            double t = a + (end - a) * i / steps;
            path.push_back({c.x + r * std::cos(t), c.z + r * std::sin(t)});
        }
    };
    // Where a circle about c of radius r crosses the line x = lineX or z = lineZ, on the near side.
    auto crossX = [](P2 c, double r, double lineX) {
        return P2{lineX, c.z - std::sqrt(r * r - (lineX - c.x) * (lineX - c.x))};
    };
    auto crossZ = [](P2 c, double r, double lineZ, double towards) {
        return P2{c.x + towards * std::sqrt(r * r - (lineZ - c.z) * (lineZ - c.z)), lineZ};
    };
    P2 p3 = pockets[3], p4 = pockets[4], p5 = pockets[5];
    path.push_back({X, 0});
    arc(p3, rc, crossX(p3, rc, X), crossZ(p3, rc, Z, -1));
    arc(p4, rm, crossZ(p4, rm, Z, 1), crossZ(p4, rm, Z, -1));
    arc(p5, rc, crossZ(p5, rc, Z, 1), crossX(p5, rc, -X));
    path.push_back({-X, 0});
    return path;
}

std::vector<P2> mirroredZ(const std::vector<P2>& path) {
    std::vector<P2> out;
    for (const P2& p : path) out.push_back({p.x, -p.z});
    return out;
}

Model bed(bool club) {
    const JawConstants k = jawConstants(club);
    Model m = tableModel(club ? "v8_bed_CLUB" : "v8_bed_PRO");
    m.materials.push_back({"Cloth", {0.13, 0.42, 0.17}, {0.05, 0.05, 0.05}, 8, "cloth.png", "", "cloth_normal.png", 0.35});
    Part& part = m.part("Bed_cloth", "Cloth");
    const auto pockets = pocketCentres(k);
    std::vector<P2> half = notchedHalf(k.length / 2 + 30, k.width / 2 + 30, pockets, kCornerHole, kMiddleHole, true);
    std::vector<P2> loop = half, lower = mirroredZ(half);
    for (size_t i = lower.size() - 1; i-- > 1;) loop.push_back(lower[i]);
    // Rings towards the centre, so the cloth has interior vertices for smooth lighting.
    unsigned first = static_cast<unsigned>(part.vertices.size());
    const int rings = 6;
    for (int r = 0; r <= rings; ++r) {
        double s = 1 - double(r) / rings;
        for (const P2& p : loop) {
            Vertex v{{p.x * s, 0, p.z * s}, {0, 1, 0}};
            bedUv(v);
            part.add(v);
        }
    }
    const unsigned n = static_cast<unsigned>(loop.size());
    for (int r = 0; r < rings; ++r)
        for (unsigned i = 0; i < n; ++i) {
            unsigned a = first + r * n + i, b = first + r * n + (i + 1) % n;
            unsigned c = b + n, d = a + n;
            // The loop runs counter-clockwise seen from above (x right, z down), so this faces up.
            part.quad(a, d, c, b);
        }
    return m;
}

// The cushion body swept along the nose line, capped at both ends.
void sweepCushion(Part& part, const std::vector<NosePoint>& nose, double texel) {
    const auto& prof = kCushionProfile;
    std::vector<double> along(nose.size(), 0);
    for (size_t i = 1; i < nose.size(); ++i)
        along[i] = along[i - 1] + std::hypot(nose[i].at.x - nose[i - 1].at.x, nose[i].at.z - nose[i - 1].at.z);
    // Each section point's line along the cushion. Where the nose turns tightly the lines behind
    // it would run backwards; such points stay where the line had got to, so nothing folds over.
    std::vector<std::vector<P3>> line(prof.size(), std::vector<P3>(nose.size()));
    for (size_t s = 0; s < prof.size(); ++s)
        for (size_t i = 0; i < nose.size(); ++i) {
            const NosePoint& p = nose[i];
            double d = std::min(prof[s].x, p.maxDepth);
            P3 at{p.at.x + p.out.x * d, prof[s].z, p.at.z + p.out.z * d};
            if (i > 0) {
                const P3& before = line[s][i - 1];
                if ((at.x - before.x) * p.out.z - (at.z - before.z) * p.out.x < 0) at = before;
            }
            line[s][i] = at;
        }
    double around = 0;
    for (size_t s = 0; s + 1 < prof.size(); ++s) {
        P2 a = prof[s], b = prof[s + 1];
        double len = std::hypot(b.x - a.x, b.z - a.z);
        // Section normal (towards the bed and up) of this segment, and smoothed at gentle corners.
        auto segNormal = [&](size_t i) {
            P2 d{prof[i + 1].x - prof[i].x, prof[i + 1].z - prof[i].z};
            double n = std::hypot(d.x, d.z);
            return P2{-d.z / n, d.x / n};
        };
        auto vertexNormal = [&](size_t i, size_t seg) {
            P2 own = segNormal(seg);
            size_t other = i == seg ? seg - 1 : seg + 1;
            if ((i == seg && seg == 0) || other + 1 >= prof.size()) return own;
            P2 o = segNormal(other);
            if (own.x * o.x + own.z * o.z < 0.7) return own;
            double n = std::hypot(own.x + o.x, own.z + o.z);
            return P2{(own.x + o.x) / n, (own.z + o.z) / n};
        };
        P2 na = vertexNormal(s, s), nb = vertexNormal(s + 1, s);
        unsigned first = static_cast<unsigned>(part.vertices.size());
        for (size_t i = 0; i < nose.size(); ++i) {
            const NosePoint& p = nose[i];
            for (int k = 0; k < 2; ++k) {
                P2 nq = k == 0 ? na : nb;
                P3 normal = normalized({p.out.x * nq.x, nq.z, p.out.z * nq.x});
                part.add({line[s + k][i], normal, along[i] / texel, (around + (k == 0 ? 0 : len)) / texel});
            }
        }
        for (unsigned i = 0; i + 1 < nose.size(); ++i) {
            unsigned a0 = first + 2 * i, b0 = a0 + 1, a1 = a0 + 2, b1 = a0 + 3;
            part.quad(a0, b0, b1, a1);
        }
        around += len;
    }
    // End caps: the section polygon, facing along the walk at the far end and against it at the start.
    for (int end = 0; end < 2; ++end) {
        const size_t at = end == 0 ? 0 : nose.size() - 1;
        const NosePoint& p = nose[at];
        const NosePoint& q = end == 0 ? nose[1] : nose[nose.size() - 2];
        P3 facing = normalized({p.at.x - q.at.x, 0, p.at.z - q.at.z});
        unsigned first = static_cast<unsigned>(part.vertices.size());
        for (size_t s = 0; s < prof.size(); ++s) part.add({line[s][at], facing, prof[s].x / texel, prof[s].z / texel});
        std::vector<unsigned> tri = triangulate(prof);
        for (size_t i = 0; i < tri.size(); i += 3) {
            unsigned a = first + tri[i], b = first + tri[i + 1], c = first + tri[i + 2];
            P3 n = cross(part.vertices[b].position - part.vertices[a].position,
                         part.vertices[c].position - part.vertices[a].position);
            if (dot(n, facing) < 0) std::swap(b, c);
            part.triangle(a, b, c);
        }
    }
}

Model cushions(bool club) {
    const JawConstants k = jawConstants(club);
    Model m = tableModel(club ? "v8_rubber_CLUB" : "v8_rubber_PRO");
    m.materials.push_back({"Cushion_cloth", {0.13, 0.42, 0.17}, {0.06, 0.06, 0.06}, 8, "cloth.png", "", "cloth_normal.png", 0.35});
    static const char* names[6] = {"Cushion_top_end", "Cushion_left_top", "Cushion_left_baulk",
                                   "Cushion_baulk_end", "Cushion_right_baulk", "Cushion_right_top"};
    const auto noses = cushionNoses(k);
    for (size_t i = 0; i < noses.size(); ++i) sweepCushion(m.part(names[i], "Cushion_cloth"), noses[i], kClothTexelZ);
    return m;
}

// Angles of the pocket hole's circle that lie in the rail (outside the inner rectangle X, Z):
// one run of sample angles, from < to.
void railArc(P2 centre, double r, double X, double Z, double& from, double& to) {
    const int samples = 360;
    auto inRail = [&](int i) {
        double t = 2 * kPi * ((i % samples + samples) % samples) / samples;
        double x = centre.x + (r + 1) * std::cos(t), z = centre.z + (r + 1) * std::sin(t);
        return std::abs(x) > X || std::abs(z) > Z;
    };
    int start = 0;
    while (start < samples && !(inRail(start) && !inRail(start - 1))) ++start;
    int end = start;
    while (end < start + samples - 1 && inRail(end + 1)) ++end;
    from = 2 * kPi * start / samples;
    to = 2 * kPi * end / samples;
}

// Plates round the pocket holes on the rail, and the facing down into the hole.
Model pocketPlates(bool club) {
    const JawConstants k = jawConstants(club);
    Model m = tableModel(club ? "v8_bumpers_CLUB" : "v8_bumpers_PRO");
    if (club)
        m.materials.push_back({"Pocket_plate", {0.75, 0.6, 0.3}, {0.9, 0.8, 0.5}, 64, "brass.png", "", "", 1});
    else
        m.materials.push_back({"Pocket_plate", {0.08, 0.07, 0.06}, {0.3, 0.3, 0.3}, 24, "leather.png", "", "", 1});
    const auto pockets = pocketCentres(k);
    const double X = k.length / 2 + kCushionDepth - 2, Z = k.width / 2 + kCushionDepth - 2;
    static const char* names[6] = {"Plate_0", "Plate_1", "Plate_2", "Plate_3", "Plate_4", "Plate_5"};
    for (int p = 0; p < 6; ++p) {
        bool corner = p != 1 && p != 4;
        double r = corner ? kCornerHole : kMiddleHole, from, to;
        railArc(pockets[p], r, X, Z, from, to);
        Part& part = m.part(names[p], "Pocket_plate");
        const double width = corner ? 8 : 9, top = kRailTop + 1.5;
        int steps = static_cast<int>(std::ceil((to - from) / (4 * kPi / 180)));
        P2 c = pockets[p];
        auto at = [&](double t, double radius, double y) { return P3{c.x + radius * std::cos(t), y, c.z + radius * std::sin(t)}; };
        // Top ring, outer rim, inner facing down to the cloth.
        part.grid(steps, 1, [&](double s, double q) {
            double t = from + (to - from) * s;
            return Vertex{at(t, r + width * q, top), {0, 1, 0}, s * 4, q};
        });
        part.grid(steps, 1, [&](double s, double q) {
            double t = from + (to - from) * s;
            return Vertex{at(t, r + width, top - (top - kRailTop + 0.5) * q), {std::cos(t), 0, std::sin(t)}, s * 4, q};
        });
        part.grid(steps, 1, [&](double s, double q) {
            double t = from + (to - from) * s;
            return Vertex{at(t, r - 0.2, top * q), {-std::cos(t), 0, -std::sin(t)}, s * 4, q};
        });
    }
    return m;
}

Model frame(bool club) {
    const JawConstants k = jawConstants(club);
    Model m = tableModel(club ? "v8_frame_CLUB" : "v8_frame_PRO");
    m.materials.push_back({"Wood", {0.45, 0.2, 0.1}, {0.35, 0.3, 0.25}, 48, club ? "wood_light.png" : "wood.png", "", "", 1});
    const auto pockets = pocketCentres(k);
    const double X = k.length / 2 + kCushionDepth - 2, Z = k.width / 2 + kCushionDepth - 2;
    const double chamfer = 6, texel = 600;
    std::vector<P2> inner = notchedHalf(X, Z, pockets, kCornerHole, kMiddleHole, false);
    Part& top = m.part("Rail_top", "Wood");
    for (int half = 0; half < 2; ++half) {
        std::vector<P2> poly = half == 0 ? inner : mirroredZ(inner);
        double s = half == 0 ? 1 : -1;
        const double ox = kRailOuterX - chamfer, oz = kRailOuterZ - chamfer;
        poly.push_back({-ox, 0});
        poly.push_back({-ox, s * oz});
        poly.push_back({ox, s * oz});
        poly.push_back({ox, 0});
        addFlatPolygon(top, poly, kRailTop, true, texel);
    }
    Part& sides = m.part("Frame_body", "Wood");
    const double ox = kRailOuterX, oz = kRailOuterZ;
    // Chamfered top edge, then the apron down to the underside, all round.
    std::vector<P2> outline = {{ox, -oz}, {ox, oz}, {-ox, oz}, {-ox, -oz}, {ox, -oz}};
    for (size_t i = 0; i + 1 < outline.size(); ++i) {
        P2 a = outline[i], b = outline[i + 1];
        P2 dir{b.x - a.x, b.z - a.z};
        double len = std::hypot(dir.x, dir.z);
        dir = {dir.x / len, dir.z / len};
        P2 out{dir.z, -dir.x};  // the outline runs with the table on its left
        // Shorten the chamfer's top edge by the chamfer at both corners.
        P2 a2{a.x - out.x * chamfer + dir.x * chamfer, a.z - out.z * chamfer + dir.z * chamfer};
        P2 b2{b.x - out.x * chamfer - dir.x * chamfer, b.z - out.z * chamfer - dir.z * chamfer};
        sides.flatQuad({{b2.x, kRailTop, b2.z}, {}, len / texel, 0}, {{b.x, kRailTop - chamfer, b.z}, {}, len / texel, 0.02},
                       {{a.x, kRailTop - chamfer, a.z}, {}, 0, 0.02}, {{a2.x, kRailTop, a2.z}, {}, 0, 0});
    }
    std::vector<P2> loop = {{ox, -oz}, {ox, oz}, {-ox, oz}, {-ox, -oz}, {ox, -oz}};
    addWall(sides, loop, kBodyBottom, kRailTop - chamfer, true, texel);
    // The underside.
    Part& under = m.part("Frame_underside", "Wood");
    addFlatPolygon(under, {{ox, -oz}, {ox, oz}, {-ox, oz}, {-ox, -oz}}, kBodyBottom, false, texel);
    return m;
}

const P2 kLegPositions[8] = {{-1450, -830}, {-480, -830}, {480, -830}, {1450, -830},
                             {-1450, 830},  {-480, 830},  {480, 830},  {1450, 830}};

void addBox(Part& part, P3 lo, P3 hi, double texel) {
    P3 c[8];
    for (int i = 0; i < 8; ++i) c[i] = {i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    auto v = [&](int i, double u, double w) { return Vertex{c[i], {}, u / texel, w / texel}; };
    double dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    // Each face wound counter-clockwise seen from outside.
    part.flatQuad(v(2, 0, dy), v(3, dx, dy), v(1, dx, 0), v(0, 0, 0));      // -z
    part.flatQuad(v(7, 0, dy), v(6, dx, dy), v(4, dx, 0), v(5, 0, 0));      // +z
    part.flatQuad(v(6, 0, dy), v(2, dz, dy), v(0, dz, 0), v(4, 0, 0));      // -x
    part.flatQuad(v(3, 0, dy), v(7, dz, dy), v(5, dz, 0), v(1, 0, 0));      // +x
    part.flatQuad(v(6, 0, dz), v(7, dx, dz), v(3, dx, 0), v(2, 0, 0));      // +y
    part.flatQuad(v(0, 0, dz), v(1, dx, dz), v(5, dx, 0), v(4, 0, 0));      // -y
}

Model squareLegs() {
    Model m = tableModel("Table_v7_legs_square");
    m.materials.push_back({"Wood", {0.45, 0.2, 0.1}, {0.35, 0.3, 0.25}, 48, "wood.png", "", "", 1});
    for (int i = 0; i < 8; ++i) {
        Part& part = m.part("Leg_block_" + std::to_string(i), "Wood");
        P2 p = kLegPositions[i];
        addBox(part, {p.x - 80, -340, p.z - 80}, {p.x + 80, kBodyBottom, p.z + 80}, 400);
        addBox(part, {p.x - 85, kFloor, p.z - 85}, {p.x + 85, kFloor + 70, p.z + 85}, 400);
        addBox(part, {p.x - 72, kFloor + 70, p.z - 72}, {p.x + 72, kFloor + 90, p.z + 72}, 400);
    }
    return m;
}

Model roundLegs() {
    Model m = tableModel("Table_v7_legs_round");
    m.materials.push_back({"Wood_turned", {0.45, 0.2, 0.1}, {0.4, 0.35, 0.3}, 64, "wood.png", "", "", 1});
    // A turned leg from the foot's top up to the block: (height, radius), bottom to top.
    const double y0 = kFloor + 90, y1 = -340;
    const std::vector<P2> profile = {{y0, 0},        {y0, 58},      {y0 + 25, 62}, {y0 + 45, 50}, {y0 + 90, 46},
                                     {y0 + 170, 58}, {y0 + 220, 64}, {y0 + 270, 56}, {y0 + 330, 44}, {y1 - 40, 50},
                                     {y1 - 25, 62},  {y1 - 10, 60},  {y1, 60},      {y1, 0}};
    for (int i = 0; i < 8; ++i) {
        Part& part = m.part("Leg_turned_" + std::to_string(i), "Wood_turned");
        addLathe(part, profile, 24, false, {kLegPositions[i].x, 0, kLegPositions[i].z}, 600);
    }
    return m;
}

Model pocketCups() {
    Model m = tableModel("Table_v7_pockets");
    m.materials.push_back({"Pocket_leather", {0.05, 0.04, 0.035}, {0.15, 0.15, 0.15}, 16, "leather.png", "", "", 1});
    const auto pockets = pocketCentres(jawConstants(false));
    for (int p = 0; p < 6; ++p) {
        double r = p == 1 || p == 4 ? kMiddleHole : kCornerHole;
        // Inside of the drop, top to bottom, so that it faces inwards.
        const std::vector<P2> profile = {{kRailTop, r}, {0, r}, {-40, r * 0.97}, {-110, r * 0.85}, {-150, r * 0.6},
                                         {-162, r * 0.25}, {-164, 0}};
        addLathe(m.part("Pocket_" + std::to_string(p), "Pocket_leather"), profile, 32, false,
                 {pockets[p].x, 0, pockets[p].z}, 300);
    }
    return m;
}

// A tube of radius r along a polyline (open ends).
void addTube(Part& part, const std::vector<P3>& line, double radius, int sides) {
    P3 previousSide{0, 0, 0};
    double along = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        P3 t = normalized(i + 1 < line.size() ? line[i + 1] - line[i] : line[i] - line[i - 1]);
        if (i > 0 && i + 1 < line.size()) t = normalized((line[i + 1] - line[i]) + (line[i] - line[i - 1]));
        P3 side = i == 0 ? normalized(cross(t, std::abs(t.y) < 0.9 ? P3{0, 1, 0} : P3{1, 0, 0}))
                         : normalized(cross(cross(t, previousSide), t));
        previousSide = side;
        P3 up = cross(side, t);
        if (i > 0) along += std::sqrt(dot(line[i] - line[i - 1], line[i] - line[i - 1]));
        for (int s = 0; s <= sides; ++s) {
            double a = 2 * kPi * s / sides;
            P3 n = side * std::cos(a) + up * std::sin(a);
            part.add({line[i] + n * radius, n, along / 50, double(s) / sides});
        }
        if (i > 0) {
            unsigned row = static_cast<unsigned>(part.vertices.size()) - (sides + 1), prev = row - (sides + 1);
            for (int s = 0; s < sides; ++s) part.quad(prev + s, row + s, row + s + 1, prev + s + 1);
        }
    }
}

Model hooks() {
    Model m = tableModel("Table_v7_hooks");
    m.materials.push_back({"Brass", {0.75, 0.6, 0.3}, {0.9, 0.8, 0.5}, 64, "brass.png", "", "", 1});
    // Rest hooks under the rails: a stem out of the apron, turned up at the end.
    struct Mount {
        P2 at, out;
    };
    std::vector<Mount> mounts;
    for (int s = -1; s <= 1; s += 2) {
        for (double z : {-330.0, 330.0}) mounts.push_back({{s * kRailOuterX, z}, {double(s), 0}});
        for (double x : {-900.0, 900.0}) mounts.push_back({{x, s * kRailOuterZ}, {0, double(s)}});
    }
    int index = 0;
    for (const Mount& mount : mounts) {
        const double y = -110;
        auto point = [&](double reach, double height) {
            return P3{mount.at.x + mount.out.x * reach, height, mount.at.z + mount.out.z * reach};
        };
        std::vector<P3> line = {point(-4, y), point(20, y)};
        for (int i = 1; i <= 6; ++i) {
            double t = kPi / 2 * i / 6;
            line.push_back(point(20 + 12 * std::sin(t), y + 12 - 12 * std::cos(t)));
        }
        line.push_back(point(32, y + 22));
        addTube(m.part("Hook_" + std::to_string(index++), "Brass"), line, 4, 10);
    }
    return m;
}

}  // namespace

std::vector<Model> tableModels() {
    std::vector<Model> models;
    for (bool club : {true, false}) {
        models.push_back(bed(club));
        models.push_back(cushions(club));
        models.push_back(frame(club));
        models.push_back(pocketPlates(club));
    }
    models.push_back(hooks());
    models.push_back(roundLegs());
    models.push_back(squareLegs());
    models.push_back(pocketCups());
    return models;
}

}  // namespace assetgen
