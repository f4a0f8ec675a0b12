// The table scene from the built archive's real models and shaders, on the current GL context.
#pragma once

#include "core/archive.h"
#include "render/inline_programs.h"
#include "render/scene.h"

#include <GL/glew.h>

namespace bztest {

inline void loadBuiltScene() {
    ArchiveIndex::instance().setBaseFolder(BZ_APP_DIR);
    Scene& scene = getScene();
    scene.initShaders();
    while (!scene.loadModels()) {
    }
    initInlinePrograms();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
}

}  // namespace bztest
