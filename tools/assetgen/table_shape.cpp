#include "tools/assetgen/table_shape.h"

#include <cmath>
#include <numbers>

namespace assetgen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kHalfDegree = 0.008726646259971648;

JawConstants fromRecord(const TableParams& p) {
    JawConstants k;
    k.length = p[36];
    k.width = p[37];
    k.offset = p[38];
    for (int i = 0; i < 8; ++i) k.corner[i] = p[81 + i];
    for (int i = 0; i < 7; ++i) k.middle[i] = p[90 + i];
    k.middleOffset = p[99];
    k.ballRadius = p[48];
    return k;
}

// Points of an arc's surface from angle a to angle b, at most two degrees apart, ends included.
void appendArc(std::vector<NosePoint>& out, const ArcSpec& arc, double a, double b) {
    int steps = std::max(1, static_cast<int>(std::ceil(std::abs(b - a) / (2 * kPi / 180))));
    for (int i = 0; i <= steps; ++i) {
        double t = a + (b - a) * i / steps;
        P2 radial{std::cos(t), std::sin(t)};
        P2 at{arc.x + arc.radius * radial.x, arc.z + arc.radius * radial.z};
        // Neighbouring arcs meet within a fraction of a millimetre: one point there, so that the
        // swept cushion does not fold over itself.
        if (!out.empty() && std::hypot(out.back().at.x - at.x, out.back().at.z - at.z) < 0.5) continue;
        // Where two arcs overlap (the middle jaws' do by a few millimetres) the walk would step
        // back; such points are left out.
        if (!out.empty()) {
            P2 forward{out.back().out.z, -out.back().out.x};
            if ((at.x - out.back().at.x) * forward.x + (at.z - out.back().at.z) * forward.z < 0.1) continue;
        }
        out.push_back({at, {-radial.x, -radial.z}, 0.85 * arc.radius});
    }
}

// A straight run of the nose into the pocket past the last arc, along its tangent.
void appendRun(std::vector<NosePoint>& out, double length, bool atStart) {
    const NosePoint& end = atStart ? out[0] : out[out.size() - 1];
    const NosePoint& before = atStart ? out[1] : out[out.size() - 2];
    double dx = end.at.x - before.at.x, dz = end.at.z - before.at.z, n = std::hypot(dx, dz);
    NosePoint run{{end.at.x + dx / n * length, end.at.z + dz / n * length}, end.out, end.maxDepth};
    if (atStart)
        out.insert(out.begin(), run);
    else
        out.push_back(run);
}

}  // namespace

JawConstants jawConstants(bool club) {
    if (!club) return fromRecord(*findTableParams(2, 2));
    JawConstants a = fromRecord(*findTableParams(1, 1)), b = fromRecord(*findTableParams(2, 1));
    for (int i = 0; i < 8; ++i) a.corner[i] = (a.corner[i] + b.corner[i]) / 2;
    for (int i = 0; i < 7; ++i) a.middle[i] = (a.middle[i] + b.middle[i]) / 2;
    return a;
}

std::array<ArcSpec, 24> jawArcs(const JawConstants& k) {
    const double L2 = k.length / 2, W2 = k.width / 2, c = k.offset, h = kHalfDegree;
    const double *q = k.corner, *m = k.middle;  // q[i] = [81 + i], m[i] = [90 + i]
    const double pi2 = kPi / 2;
    return {{
        {-L2 - c - q[1], -W2 - c + q[0], q[2], -q[3], 0},
        {-L2 - c - q[5], -W2 - c + q[4], q[6], -q[7], h - q[3]},
        {-L2 - c + q[0], -W2 - c - q[1], q[2], pi2, pi2 + q[3]},
        {-L2 - c + q[4], -W2 - c - q[5], q[6], pi2 + q[3] - h, pi2 + q[7]},
        {-m[0], -W2 - c - m[1], m[2], pi2 - m[3] - h, pi2},
        {-m[4], -W2 - c - m[5], m[6], 0, pi2 - m[3]},
        {m[0], -W2 - c - m[1], m[2], pi2, pi2 + m[3] + h},
        {m[4], -W2 - c - m[5], m[6], pi2 + m[3], kPi},
        {L2 + c - q[0], -W2 - c - q[1], q[2], pi2 - q[3], pi2},
        {L2 + c - q[4], -W2 - c - q[5], q[6], pi2 - q[7], pi2 - q[3] + h},
        {L2 + c + q[1], -W2 - c + q[0], q[2], -kPi, q[3] - kPi},
        {L2 + c + q[5], -W2 - c + q[4], q[6], q[3] - kPi - h, q[7] - kPi},
        {L2 + c + q[1], W2 + c - q[0], q[2], kPi - q[3], kPi},
        {L2 + c + q[5], W2 + c - q[4], q[6], kPi - q[7], kPi - q[3] + h},
        {L2 + c - q[0], W2 + c + q[1], q[2], -pi2, q[3] - pi2},
        {L2 + c - q[4], W2 + c + q[5], q[6], q[3] - pi2 - h, q[7] - pi2},
        {m[0], W2 + c + m[1], m[2], -pi2 - m[3] - h, -pi2},
        {m[4], W2 + c + m[5], m[6], -kPi, -pi2 - m[3]},
        {-m[0], W2 + c + m[1], m[2], -pi2, m[3] - pi2 + h},
        {-m[4], W2 + c + m[5], m[6], m[3] - pi2, 0},
        {-L2 - c + q[0], W2 + c + q[1], q[2], -pi2 - q[3], -pi2},
        {-L2 - c + q[4], W2 + c + q[5], q[6], -pi2 - q[7], -pi2 - q[3] + h},
        {-L2 - c - q[1], W2 + c - q[0], q[2], 0, q[3]},
        {-L2 - c - q[5], W2 + c - q[4], q[6], q[3] - h, q[7]},
    }};
}

std::vector<std::vector<NosePoint>> cushionNoses(const JawConstants& k) {
    const auto arcs = jawArcs(k);
    const double q3 = k.corner[3], m3 = k.middle[3], pi2 = kPi / 2;
    // Each cushion as arcs walked from one pocket to the next; a straight nose joins the two
    // middle arcs of the cushion. The walk goes round the table with the bed on the left.
    struct Leg {
        int arc;
        double from, to;
    };
    const std::vector<std::vector<Leg>> cushions = {
        // end cushion at -x, from pocket 0 to pocket 5
        {{1, -pi2, -q3}, {0, -q3, 0}, {22, 0, q3}, {23, q3, pi2}},
        // side cushion +z, x < 0, from pocket 5 to pocket 4
        {{21, -kPi, -pi2 - q3}, {20, -pi2 - q3, -pi2}, {18, -pi2, m3 - pi2}, {19, m3 - pi2, 0}},
        // side cushion +z, x > 0, from pocket 4 to pocket 3
        {{17, -kPi, -pi2 - m3}, {16, -pi2 - m3, -pi2}, {14, -pi2, q3 - pi2}, {15, q3 - pi2, 0}},
        // end cushion at +x, from pocket 3 to pocket 2
        {{13, pi2, kPi - q3}, {12, kPi - q3, kPi}, {10, -kPi, q3 - kPi}, {11, q3 - kPi, -pi2}},
        // side cushion -z, x > 0, from pocket 2 to pocket 1
        {{9, 0, pi2 - q3}, {8, pi2 - q3, pi2}, {6, pi2, pi2 + m3}, {7, pi2 + m3, kPi}},
        // side cushion -z, x < 0, from pocket 1 to pocket 0
        {{5, 0, pi2 - m3}, {4, pi2 - m3, pi2}, {2, pi2, pi2 + q3}, {3, pi2 + q3, kPi}},
    };
    std::vector<std::vector<NosePoint>> noses;
    for (size_t i = 0; i < cushions.size(); ++i) {
        std::vector<NosePoint> nose;
        for (const Leg& leg : cushions[i]) appendArc(nose, arcs[leg.arc], leg.from, leg.to);
        // The middle jaws end half way into the throat; carry them on to the rail's edge.
        if (i == 2 || i == 5) appendRun(nose, 40, true);
        if (i == 1 || i == 4) appendRun(nose, 40, false);
        // The straight nose between the jaws in steps of at most 100 mm, for smooth shading.
        std::vector<NosePoint> even;
        for (size_t j = 0; j < nose.size(); ++j) {
            if (j > 0) {
                const NosePoint &a = nose[j - 1], &b = nose[j];
                int steps = static_cast<int>(std::hypot(b.at.x - a.at.x, b.at.z - a.at.z) / 100);
                for (int s = 1; s <= steps; ++s) {
                    double t = double(s) / (steps + 1);
                    even.push_back({{a.at.x + (b.at.x - a.at.x) * t, a.at.z + (b.at.z - a.at.z) * t}, a.out});
                }
            }
            even.push_back(nose[j]);
        }
        noses.push_back(std::move(even));
    }
    return noses;
}

std::array<P2, 6> pocketCentres(const JawConstants& k) {
    const double X = k.length / 2 + k.offset, Z = k.width / 2 + k.offset, M = Z + k.middleOffset;
    return {{{-X, -Z}, {0, -M}, {X, -Z}, {X, Z}, {0, M}, {-X, Z}}};
}

}  // namespace assetgen
