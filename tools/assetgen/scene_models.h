// The balls, the cue and the room.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/mesh.h"

namespace assetgen {

// The scale the scene gives every ball model, and the cue's scales along and across it.
constexpr double kBallScale = 100.54;
constexpr double kCueScaleAlong = 100, kCueScaleAcross = 135;

// The file stems after "Ball_", for models and textures alike.
const std::vector<std::string>& ballNames();

std::vector<Model> ballModels(double ballRadius);
std::vector<Model> cueModels(double tipRadius, double buttRadius, double length);
Model roomModel();

// Where the cue's parts end along it (mm from the tip face): the tip, the ferrule.
constexpr double kCueTipEnd = 11, kCueFerruleEnd = 26;

}  // namespace assetgen
