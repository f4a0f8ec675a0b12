#include "render/hud_textures.h"

#include "render/scene.h"

HudTextures sceneHudTextures() {
    const Scene& scene = getScene();
    return {scene.textures[0], scene.textures[1], scene.textures[2], scene.textures[8]};
}
