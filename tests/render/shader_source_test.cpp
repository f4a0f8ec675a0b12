#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "render/shader_source.h"

namespace {

struct IncludeCase {
    const char* name;
    std::string source;
    std::string expanded;
    std::vector<std::string> missing;
};

TEST(ShaderSource, IncludeLinesAreReplacedByTheFilesOfTheShaderFolder) {
    // "loop.glsl" includes itself: it stops after four levels and is reported once.
    const std::map<std::string, std::string> files = {
        {"res/shaders/prelude.glsl", "#version 330 core\n"},
        {"res/shaders/light.glsl", "#include \"common.glsl\"\nfloat light() { return k; }"},
        {"res/shaders/common.glsl", "const float k = 1.0;\n"},
        {"res/shaders/loop.glsl", "#include \"loop.glsl\"\n"},
    };
    const std::vector<IncludeCase> cases = {
        {"no include; a last line gets its newline", "void main() {}", "void main() {}\n", {}},
        {"the prelude first, then the numbering of the source",
         "#include \"prelude.glsl\"\nout vec4 c;\n",
         "#version 330 core\n#line 2\nout vec4 c;\n",
         {}},
        {"blanks before the directive and after its name",
         "  #include  \"prelude.glsl\" // first\n",
         "#version 330 core\n#line 2\n",
         {}},
        {"nested includes keep each file's own numbering",
         "x\n#include \"light.glsl\"\ny\n",
         "x\nconst float k = 1.0;\n#line 2\nfloat light() { return k; }\n#line 3\ny\n",
         {}},
        {"a missing file leaves its line out",
         "#include \"absent.glsl\"\nz\n",
         "#line 2\nz\n",
         {"res/shaders/absent.glsl"}},
        {"an include too deep is left out",
         "#include \"loop.glsl\"\n",
         "#line 2\n#line 2\n#line 2\n#line 2\n#line 2\n",
         {"res/shaders/loop.glsl"}},
        {"other directives and an include in a comment stay",
         "#define A 1\n// #include \"prelude.glsl\"\n#includes \"prelude.glsl\"\n",
         "#define A 1\n// #include \"prelude.glsl\"\n#includes \"prelude.glsl\"\n",
         {}},
    };
    for (const IncludeCase& c : cases) {
        std::vector<std::string> missing;
        const std::string expanded = expandShaderIncludes(
            c.source,
            [&](const std::string& path, std::string& text) {
                const auto file = files.find(path);
                if (file == files.end()) return false;
                text = file->second;
                return true;
            },
            missing);
        EXPECT_EQ(expanded, c.expanded) << c.name;
        EXPECT_EQ(missing, c.missing) << c.name;
    }
}

}  // namespace
