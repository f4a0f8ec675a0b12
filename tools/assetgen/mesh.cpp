#include "tools/assetgen/mesh.h"

#include <cstdio>
#include <numbers>

namespace assetgen {

namespace {

// Fixed precision and no "-0": the same numbers give the same bytes on every run.
std::string num(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.5f", v);
    std::string s = buffer;
    if (s == "-0.00000") s = "0.00000";
    return s;
}

std::string fileName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

double cross2(P2 o, P2 a, P2 b) { return (a.x - o.x) * (b.z - o.z) - (a.z - o.z) * (b.x - o.x); }

bool inTriangle(P2 p, P2 a, P2 b, P2 c) {
    double d1 = cross2(a, b, p), d2 = cross2(b, c, p), d3 = cross2(c, a, p);
    bool negative = d1 < 0 || d2 < 0 || d3 < 0, positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

}  // namespace

void Part::flatQuad(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d) {
    P3 n = normalized(cross(b.position - a.position, c.position - a.position));
    Vertex q[4] = {a, b, c, d};
    unsigned first = static_cast<unsigned>(vertices.size());
    for (Vertex& v : q) {
        v.normal = n;
        add(v);
    }
    quad(first, first + 1, first + 2, first + 3);
}

std::string Model::mtlPath() const { return objPath.substr(0, objPath.size() - 4) + ".mtl"; }

std::string Model::objText() const {
    std::string out = "# Baizeron asset generator\nmtllib " + fileName(mtlPath()) + "\n";
    size_t base = 1;
    for (const Part& part : parts) {
        out += "o " + part.name + "\n";
        const double turn = halfTurn ? -1 : 1;
        for (const Vertex& v : part.vertices)
            out += "v " + num(turn * v.position.x / scale.x) + " " + num(v.position.y / scale.y) + " " +
                   num(turn * v.position.z / scale.z) + "\n";
        for (const Vertex& v : part.vertices) out += "vt " + num(v.u) + " " + num(v.v) + "\n";
        for (const Vertex& v : part.vertices) {
            // Normals transform with the inverse scale.
            P3 n = normalized({turn * v.normal.x * scale.x, v.normal.y * scale.y, turn * v.normal.z * scale.z});
            out += "vn " + num(n.x) + " " + num(n.y) + " " + num(n.z) + "\n";
        }
        out += "usemtl " + part.material + "\ns 1\n";
        for (size_t i = 0; i < part.indices.size(); i += 3) {
            out += "f";
            for (int k = 0; k < 3; ++k) {
                std::string n = std::to_string(base + part.indices[i + k]);
                out += " " + n + "/" + n + "/" + n;
            }
            out += "\n";
        }
        base += part.vertices.size();
    }
    return out;
}

std::string Model::mtlText() const {
    std::string out = "# Baizeron asset generator\n";
    for (const Material& m : materials) {
        out += "\nnewmtl " + m.name + "\n";
        out += "Ns " + num(m.shininess) + "\n";
        out += "Ka 1.00000 1.00000 1.00000\n";
        out += "Kd " + num(m.diffuse.x) + " " + num(m.diffuse.y) + " " + num(m.diffuse.z) + "\n";
        out += "Ks " + num(m.specular.x) + " " + num(m.specular.y) + " " + num(m.specular.z) + "\n";
        out += "d 1.00000\nillum 2\n";
        if (!m.diffuseMap.empty()) out += "map_Kd " + m.diffuseMap + "\n";
        if (!m.specularMap.empty()) out += "map_Ks " + m.specularMap + "\n";
        if (!m.normalMap.empty()) {
            out += "map_Bump ";
            if (m.bump < 1) out += "-bm " + num(m.bump) + " ";
            out += m.normalMap + "\n";
        }
    }
    return out;
}

std::vector<unsigned> triangulate(const std::vector<P2>& poly) {
    std::vector<unsigned> result, left;
    size_t n = poly.size();
    if (n < 3) return result;
    double area = 0;
    for (size_t i = 0; i < n; ++i) {
        const P2 &a = poly[i], &b = poly[(i + 1) % n];
        area += a.x * b.z - b.x * a.z;
    }
    for (size_t i = 0; i < n; ++i) left.push_back(static_cast<unsigned>(area > 0 ? i : n - 1 - i));
    // Now counter-clockwise in (x, z); an ear is a convex corner with no other corner inside.
    size_t guard = 0;
    while (left.size() > 3 && guard < n * n) {
        ++guard;
        bool clipped = false;
        for (size_t i = 0; i < left.size(); ++i) {
            unsigned a = left[(i + left.size() - 1) % left.size()], b = left[i], c = left[(i + 1) % left.size()];
            if (cross2(poly[a], poly[b], poly[c]) <= 1e-12) continue;
            bool empty = true;
            for (unsigned k : left) {
                if (k == a || k == b || k == c) continue;
                if (inTriangle(poly[k], poly[a], poly[b], poly[c])) {
                    empty = false;
                    break;
                }
            }
            if (!empty) continue;
            result.insert(result.end(), {a, c, b});  // counter-clockwise in (x, z) faces -y; flip
            left.erase(left.begin() + static_cast<long>(i));
            clipped = true;
            break;
        }
        if (!clipped) break;
    }
    if (left.size() == 3) result.insert(result.end(), {left[0], left[2], left[1]});
    return result;
}

void addFlatPolygon(Part& part, const std::vector<P2>& poly, double y, bool up, double texelMm) {
    unsigned first = static_cast<unsigned>(part.vertices.size());
    for (const P2& p : poly) part.add({{p.x, y, p.z}, {0, up ? 1.0 : -1.0, 0}, p.x / texelMm, p.z / texelMm});
    std::vector<unsigned> tri = triangulate(poly);
    for (size_t i = 0; i < tri.size(); i += 3) {
        if (up)
            part.triangle(first + tri[i], first + tri[i + 1], first + tri[i + 2]);
        else
            part.triangle(first + tri[i], first + tri[i + 2], first + tri[i + 1]);
    }
}

void addWall(Part& part, const std::vector<P2>& line, double y0, double y1, bool left, double texelMm) {
    double along = 0;
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        P2 a = line[i], b = line[i + 1];
        double length = std::hypot(b.x - a.x, b.z - a.z);
        if (length < 1e-9) continue;
        Vertex v[4] = {{{a.x, y0, a.z}, {}, along / texelMm, y0 / texelMm},
                       {{b.x, y0, b.z}, {}, (along + length) / texelMm, y0 / texelMm},
                       {{b.x, y1, b.z}, {}, (along + length) / texelMm, y1 / texelMm},
                       {{a.x, y1, a.z}, {}, along / texelMm, y1 / texelMm}};
        if (left)
            part.flatQuad(v[1], v[0], v[3], v[2]);
        else
            part.flatQuad(v[0], v[1], v[2], v[3]);
        along += length;
    }
}

void addLathe(Part& part, const std::vector<P2>& profile, int sides, bool alongX, P3 origin, double uLength) {
    // Outward normal (along, radial) of each profile segment; a vertex between two segments that
    // meet at a gentle angle takes their mean, so that a turned body shades smoothly.
    size_t n = profile.size();
    std::vector<P2> segment(n > 0 ? n - 1 : 0);
    for (size_t i = 0; i + 1 < n; ++i) {
        double da = profile[i + 1].x - profile[i].x, dr = profile[i + 1].z - profile[i].z, len = std::hypot(da, dr);
        segment[i] = len < 1e-9 ? P2{0, 0} : P2{-dr / len, da / len};
    }
    auto vertexNormal = [&](size_t seg, size_t other) {
        P2 own = segment[seg];
        if (other >= segment.size()) return own;
        P2 o = segment[other];
        if (own.x * o.x + own.z * o.z < 0.8) return own;
        double len = std::hypot(own.x + o.x, own.z + o.z);
        return P2{(own.x + o.x) / len, (own.z + o.z) / len};
    };
    for (size_t i = 0; i + 1 < n; ++i) {
        P2 a = profile[i], b = profile[i + 1];
        if (std::hypot(b.x - a.x, b.z - a.z) < 1e-9) continue;
        P2 normalAt[2] = {vertexNormal(i, i - 1), vertexNormal(i, i + 1)};
        unsigned first = static_cast<unsigned>(part.vertices.size());
        for (int s = 0; s <= sides; ++s) {
            double angle = 2 * std::numbers::pi * s / sides;
            double c = std::cos(angle), sn = std::sin(angle);
            for (int k = 0; k < 2; ++k) {
                P2 p = k == 0 ? a : b;
                double na = normalAt[k].x, nr = normalAt[k].z;
                P3 pos, nor;
                if (alongX) {
                    pos = {origin.x + p.x, origin.y + p.z * c, origin.z + p.z * sn};
                    nor = {na, nr * c, nr * sn};
                } else {
                    pos = {origin.x + p.z * c, origin.y + p.x, origin.z + p.z * sn};
                    nor = {nr * c, na, nr * sn};
                }
                part.add({pos, normalized(nor), p.x / uLength, double(s) / sides});
            }
        }
        for (int s = 0; s < sides; ++s) {
            unsigned a0 = first + 2 * s, b0 = a0 + 1, a1 = a0 + 2, b1 = a0 + 3;
            // Winding chosen so the outside faces out for either axis.
            if (alongX)
                part.quad(a0, a1, b1, b0);
            else
                part.quad(a0, b0, b1, a1);
        }
    }
}

}  // namespace assetgen
