// The table's models: beds, cushions, pocket plates and frames of both table kinds, legs, hooks
// and pockets. Scene millimetres; written at scale 100 as the scene loads them.
#pragma once

#include <vector>

#include "tools/assetgen/mesh.h"

namespace assetgen {

std::vector<Model> tableModels();

}  // namespace assetgen
