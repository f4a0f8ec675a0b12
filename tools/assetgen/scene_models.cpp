#include "tools/assetgen/scene_models.h"

#include <cmath>
#include <numbers>

#include "tools/assetgen/table_shape.h"

namespace assetgen {

namespace {
constexpr double kPi = std::numbers::pi;
}

const std::vector<std::string>& ballNames() {
    static const std::vector<std::string> names = {"black", "blackwhite", "blue",  "brown", "green",     "orange", "pink",
                                                   "purple", "red",       "white", "white_dot", "wood", "yellow"};
    return names;
}

std::vector<Model> ballModels(double radius) {
    std::vector<Model> models;
    for (const std::string& name : ballNames()) {
        Model m;
        m.objPath = "res/table/Ball_" + name + ".obj";
        m.scale = {kBallScale, kBallScale, kBallScale};
        const bool wood = name == "wood";
        m.materials.push_back({"Ball_" + name, {1, 1, 1}, wood ? P3{0.3, 0.3, 0.3} : P3{0.9, 0.9, 0.9},
                               wood ? 24.0 : 128.0, "Ball_" + name + ".png", "", "", 1});
        Part& part = m.part("Ball_" + name, "Ball_" + name);
        // Longitude runs with u, so the texture's columns go round the equator and its rows from
        // the north pole (top row) to the south pole.
        part.grid(48, 24, [&](double s, double t) {
            double theta = -2 * kPi * s, phi = -kPi / 2 + kPi * t;
            P3 n{std::cos(phi) * std::cos(theta), std::sin(phi), std::cos(phi) * std::sin(theta)};
            return Vertex{n * radius, n, s, t};
        });
        models.push_back(std::move(m));
    }
    return models;
}

std::vector<Model> cueModels(double tipRadius, double buttRadius, double length) {
    Model tip, main;
    for (Model* m : {&tip, &main}) m->scale = {kCueScaleAlong, kCueScaleAcross, kCueScaleAcross};
    tip.objPath = "res/table/Cue_2_Tip.obj";
    tip.materials.push_back({"Cue_tip", {0.25, 0.45, 0.75}, {0.05, 0.05, 0.05}, 6, "Cue_2_Tip.png", "", "", 1});
    // A domed leather tip with its face at 0, pointing to -x (towards the ball).
    const double r = tipRadius;
    addLathe(tip.part("Cue_tip", "Cue_tip"),
             {{0, 0}, {0.45, r * 0.5}, {1.3, r * 0.77}, {2.7, r * 0.94}, {4.3, r}, {kCueTipEnd, r}, {kCueTipEnd, 0}}, 24, true,
             {0, 0, 0}, kCueTipEnd);

    main.objPath = "res/table/Cue_2_Main.obj";
    // Diffuse, specular and normal map in that order; the "_ext1" colour image gets a second,
    // linearly filtered sampler in the renderer.
    main.materials.push_back({"Cue_main", {1, 1, 1}, {0.6, 0.6, 0.6}, 64, "Cue_2_COL1_ext1.png", "Cue_2_GLOSS1.png",
                              "Cue_2_NORMAL.png", 0.3});
    const double R = buttRadius;
    const std::vector<P2> profile = {{kCueTipEnd, 0},
                                     {kCueTipEnd, r * 1.01},
                                     {kCueFerruleEnd, r * 1.03},
                                     {kCueFerruleEnd + 0.5, r * 1.05},
                                     {300, r * 1.22},
                                     {600, r * 1.58},
                                     {860, R * 0.72},
                                     {1080, R * 0.86},
                                     {1300, R * 0.96},
                                     {length - 12, R},
                                     {length - 4, R * 0.97},
                                     {length - 0.5, R * 0.8},
                                     {length, R * 0.7},
                                     {length, 0}};
    addLathe(main.part("Cue_main", "Cue_main"), profile, 32, true, {0, 0, 0}, length);
    return {main, tip};
}

Model roomModel() {
    Model m;
    m.objPath = "res/dr/dark_room.obj";
    m.scale = {100, 100, 100};
    m.halfTurn = true;
    m.materials.push_back({"Carpet", {0.3, 0.12, 0.1}, {0.02, 0.02, 0.02}, 4, "room_carpet.png", "", "", 1});
    m.materials.push_back({"Wall_panel", {0.35, 0.25, 0.18}, {0.1, 0.1, 0.1}, 16, "room_wall.png", "", "", 1});
    m.materials.push_back({"Ceiling", {0.2, 0.2, 0.2}, {0.02, 0.02, 0.02}, 4, "room_ceiling.png", "", "", 1});
    m.materials.push_back({"Skirting", {0.25, 0.12, 0.06}, {0.2, 0.2, 0.2}, 32, "room_skirting.png", "", "", 1});
    const double X = 6200, Z = 4600, ceiling = 2350;
    // Floor and ceiling as grids, so that lighting has vertices to work with away from the walls.
    m.part("Floor", "Carpet").grid(24, 18, [&](double s, double t) {
        double x = -X + 2 * X * s, z = Z - 2 * Z * t;
        return Vertex{{x, kFloor, z}, {0, 1, 0}, x / 1200, z / 1200};
    });
    m.part("Ceiling", "Ceiling").grid(24, 18, [&](double s, double t) {
        double x = -X + 2 * X * s, z = -Z + 2 * Z * t;
        return Vertex{{x, ceiling, z}, {0, -1, 0}, x / 1200, z / 1200};
    });
    // Walls face into the room; a wooden skirting board runs along their foot.
    const std::vector<P2> around = {{-X, -Z}, {X, -Z}, {X, Z}, {-X, Z}, {-X, -Z}};
    addWall(m.part("Walls", "Wall_panel"), around, kFloor + 140, ceiling, false, 1600);
    addWall(m.part("Skirting", "Skirting"), around, kFloor, kFloor + 140, false, 800);
    return m;
}

}  // namespace assetgen
