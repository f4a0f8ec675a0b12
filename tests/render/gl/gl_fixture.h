// A hidden SDL window with a GL 3.3 core context, and a small archive of test assets swapped in
// for the built-in one: a cube model with its materials, PNG images and the real shader sources.
#pragma once

#include <GL/glew.h>
#include <SDL2/SDL.h>

#include <map>
#include <string>
#include <vector>

#include "render/stand_in_assets.h"
#include "support/gl_window.h"
#include "tools/archive_fixture.h"

namespace bztest {

// A unit cube, one object, with texture coordinates and normals; 6 quads.
inline std::string cubeObj(const std::string& mtllib, const std::string& material, bool normals = true) {
    std::string obj = mtllib.empty() ? "" : "mtllib " + mtllib + "\n";
    obj += "o Cube\n"
           "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
           "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    if (normals) {
        obj += "vn 0 0 -1\nvn 0 0 1\nvn -1 0 0\nvn 1 0 0\nvn 0 -1 0\nvn 0 1 0\nusemtl " + material +
               "\n"
               "f 1/1/1 4/4/1 3/3/1 2/2/1\nf 5/1/2 6/2/2 7/3/2 8/4/2\nf 1/1/3 5/2/3 8/3/3 4/4/3\n"
               "f 2/1/4 3/2/4 7/3/4 6/4/4\nf 1/1/5 2/2/5 6/3/5 5/4/5\nf 4/1/6 8/2/6 7/3/6 3/4/6\n";
    } else {
        obj += "usemtl " + material +
               "\n"
               "f 1/1 4/4 3/3 2/2\nf 5/1 6/2 7/3 8/4\nf 1/1 5/2 8/3 4/4\n"
               "f 2/1 3/2 7/3 6/4\nf 1/1 2/2 6/3 5/4\nf 4/1 8/2 7/3 3/4\n";
    }
    return obj;
}

// A property of level 0 of a 2D texture (its width, its internal format).
inline GLint textureParameter(unsigned id, GLenum which) {
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, which, &value);
    return value;
}

class GlFixture : public ArchiveFixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openGlWindow({"render test"}, window, context));
    }
    void TearDown() override {
        closeGlWindow(window, context);
        ArchiveFixture::TearDown();
    }

    // Binds a new off-screen RGBA target of w x h (with a depth buffer when asked) and its viewport.
    void bindTarget(int w, int h, bool depth) {
        unsigned fbo = 0, colour = 0, depthBuffer = 0;
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        if (depth) {
            glGenRenderbuffers(1, &depthBuffer);
            glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
        }
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), unsigned(GL_FRAMEBUFFER_COMPLETE));
        glViewport(0, 0, w, h);
    }

    // The bound target's RGBA pixels, bottom row first.
    std::vector<unsigned char> readTarget(int w, int h) {
        std::vector<unsigned char> pixels(size_t(w) * size_t(h) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // Packs members at fixed positions (the rest empty) followed by members found by plain path.
    void packAt(const std::map<size_t, PackMember>& positioned, const std::vector<PackMember>& byPath = {}) {
        size_t slots = positioned.empty() ? 0 : positioned.rbegin()->first + 1;
        std::vector<PackMember> members(slots);
        for (const auto& [position, member] : positioned) members[position] = member;
        members.insert(members.end(), byPath.begin(), byPath.end());
        pack(members);
    }

    // The shader sources at their positions, as the real manifest places them.
    std::map<size_t, PackMember> shaderMembers() {
        std::string error;
        Manifest manifest;
        const std::string assets = BZ_ASSETS_DIR;
        EXPECT_TRUE(parseManifest(readFileText(assets + "/manifest-shaders.txt"), assets, manifest, error)) << error;
        std::vector<PackMember> loaded;
        EXPECT_TRUE(loadMembers(manifest, loaded, error)) << error;
        std::map<size_t, PackMember> result;
        for (size_t i = 0; i < loaded.size(); ++i) {
            if (!loaded[i].plainPath.empty()) result[i] = loaded[i];
        }
        return result;
    }

    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

}  // namespace bztest
