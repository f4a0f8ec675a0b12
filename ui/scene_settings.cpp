#include "ui/scene_settings.h"

#include "render/scene.h"

void applySceneSettings(bool firstLightingSet, int cueBallDesign) {
    Scene& scene = getScene();
    scene.reloadLightingShaders(firstLightingSet);
    scene.setCueBallDesign(cueBallDesign);
}
