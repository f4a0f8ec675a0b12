// Triangle meshes in scene millimetres, written as Wavefront .obj with a .mtl beside them.
#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace assetgen {

struct P2 {
    double x = 0, z = 0;
};
struct P3 {
    double x = 0, y = 0, z = 0;
};

inline P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline P3 operator*(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline P3 cross(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline P3 normalized(P3 a) {
    double n = std::sqrt(dot(a, a));
    return n > 0 ? a * (1 / n) : P3{0, 1, 0};
}

struct Vertex {
    P3 position;
    P3 normal;
    double u = 0, v = 0;  // v = 1 at the top row of the image, as the format has it
};

// One named object of the file: a node of that name with one material.
struct Part {
    std::string name;
    std::string material;
    std::vector<Vertex> vertices;
    std::vector<unsigned> indices;  // three per triangle, counter-clockwise seen from outside

    unsigned add(const Vertex& v) {
        vertices.push_back(v);
        return static_cast<unsigned>(vertices.size() - 1);
    }
    void triangle(unsigned a, unsigned b, unsigned c) { indices.insert(indices.end(), {a, b, c}); }
    void quad(unsigned a, unsigned b, unsigned c, unsigned d) {
        triangle(a, b, c);
        triangle(a, c, d);
    }
    // A flat quad with one face normal (from the winding a-b-c), texture from the corners' u, v.
    void flatQuad(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d);
    // A grid of rows x columns quads from a function of (s, t) in [0, 1]^2 giving the vertex;
    // normals from the function, or from the surface when it gives none (zero length).
    template <typename F>
    void grid(int columns, int rows, F&& at) {
        unsigned first = static_cast<unsigned>(vertices.size());
        for (int j = 0; j <= rows; ++j)
            for (int i = 0; i <= columns; ++i) add(at(double(i) / columns, double(j) / rows));
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i) {
                unsigned a = first + j * (columns + 1) + i;
                quad(a, a + 1, a + columns + 2, a + columns + 1);
            }
    }
};

// What a material gives the shaders; texture names are relative to the model's folder.
struct Material {
    std::string name;
    P3 diffuse{0.8, 0.8, 0.8};
    P3 specular{0.2, 0.2, 0.2};
    double shininess = 32;
    std::string diffuseMap, specularMap, normalMap;
    double bump = 1;  // written as " -bm" when below 1
};

// The model is written in its own units: a point p of the scene is stored as p / scale per axis, so
// that the renderer's scale puts it back where the physics has it.
struct Model {
    std::string objPath;  // plain path, e.g. "res/table/Ball_red.obj"
    P3 scale{1, 1, 1};
    bool halfTurn = false;  // stored turned by pi about y, which the scene's rotation undoes
    std::vector<Part> parts;
    std::vector<Material> materials;

    Part& part(const std::string& name, const std::string& material) {
        parts.push_back({name, material, {}, {}});
        return parts.back();
    }
    std::string mtlPath() const;
    std::string objText() const;
    std::string mtlText() const;
};

// Polygon helpers in the table plane.
// Triangulates a simple polygon (either winding) by ear clipping; indices into `poly`, wound so the
// triangles face +y.
std::vector<unsigned> triangulate(const std::vector<P2>& poly);
// A flat horizontal polygon at height y facing up (or down), texture u, v = x, z / texel size.
void addFlatPolygon(Part& part, const std::vector<P2>& poly, double y, bool up, double texelMm);
// Vertical walls along a polyline from y0 to y1, facing to the left of the walking direction when
// `left`; u runs along the length, v up.
void addWall(Part& part, const std::vector<P2>& line, double y0, double y1, bool left, double texelMm);

// A surface of revolution about an axis: profile points (along, radius), `sides` around. The axis is
// +x when `alongX`, else +y; u = along / length, v = angle / 2 pi.
void addLathe(Part& part, const std::vector<P2>& profile, int sides, bool alongX, P3 origin, double uLength);

}  // namespace assetgen
