#include "render/inline_programs.h"

#include <GL/glew.h>

#include "core/log.h"
#include "render/gl_check.h"
#include "render/shader.h"
#include "render/shadow_textures.h"

namespace {

const char* kQBallVertex = R"(#include "prelude.glsl"
in vec2 aPos;
in vec2 aTexCoord;
out vec2 vs_out_FragTexCoord;
void main() {
    vs_out_FragTexCoord = aTexCoord;
    gl_Position = vec4(aPos.x, aPos.y, 1.0, 1.0);
}
)";

const char* kQBallFragment = R"(#include "prelude.glsl"
in vec2 vs_out_FragTexCoord;
out vec4 outColor;
uniform sampler2D tex;
uniform float transparency;
void main() {
    vec4 c = texture(tex, vs_out_FragTexCoord);
    outColor = vec4(c.rgb, transparency * c.a);
}
)";

const char* kTextVertex = R"(#include "prelude.glsl"
in vec2 aTextPos;
in vec2 aTextTexCoord;
out vec2 vs_out_FragTexCoord;
void main() {
    vs_out_FragTexCoord = aTextTexCoord;
    gl_Position = vec4(aTextPos.x, aTextPos.y, 0.5, 1.0);
}
)";

// Shared by "Text" and "Ball shadow".
const char* kTexturedFragment = R"(#include "prelude.glsl"
in vec2 vs_out_FragTexCoord;
out vec4 outColor;
uniform sampler2D tex;
void main() {
    outColor = texture(tex, vs_out_FragTexCoord);
}
)";

const char* kAimVertex = R"(#include "prelude.glsl"
in vec3 aPos;
in vec4 aColor;
out vec4 vs_out_FragColor;
uniform mat4 projection;
uniform mat4 view;
uniform mat4 model;
void main() {
    vs_out_FragColor = aColor;
    gl_Position = projection * view * model * vec4(aPos, 1.0);
}
)";

const char* kAimFragment = R"(#include "prelude.glsl"
in vec4 vs_out_FragColor;
out vec4 outColor;
void main() {
    outColor = vs_out_FragColor;
}
)";

const char* kBallShadowVertex = R"(#include "prelude.glsl"
in vec2 aPos;
in vec2 aTexCoord;
out vec2 vs_out_FragTexCoord;
uniform mat4 projection;
uniform mat4 view;
uniform mat4 model;
void main() {
    vs_out_FragTexCoord = aTexCoord;
    gl_Position = projection * view * model * vec4(aPos.x, 0.0, aPos.y, 1.0);
}
)";

// aPos.y carries the cue's height above the surface; the quad itself lies at the shadow height csh.
const char* kCueShadowVertex = R"(#include "prelude.glsl"
in vec3 aPos;
in vec2 aTexCoord;
in float csh;
out vec2 vs_out_FragPos;
out vec3 vs_out_FragTexCoord;
out float vs_out_shadowHeight;
uniform mat4 projection;
uniform mat4 view;
uniform mat4 model;
void main() {
    vs_out_FragPos = vec2(aPos.x, aPos.z);
    vs_out_FragTexCoord = vec3(aTexCoord, aPos.y);
    vs_out_shadowHeight = csh;
    gl_Position = projection * view * model * vec4(aPos.x, csh, aPos.z, 1.0);
}
)";

// On the rails the shadow is cut to the rail outline: the end rails are folded onto the side rail
// by a mirror at 45 degrees, then the middle and corner pocket arcs are cut out.
const char* kCueShadowFragment = R"(#include "prelude.glsl"
in vec2 vs_out_FragPos;
in vec3 vs_out_FragTexCoord;
in float vs_out_shadowHeight;
out vec4 outColor;
uniform sampler2D tex;
uniform float transparency;
void main() {
    float h = vs_out_FragTexCoord.z;
    outColor = texture(tex, vs_out_FragTexCoord.xy);
    outColor.a = (1.0 - smoothstep(0.0, 1470.0 / 2.0, h)) * outColor.a * transparency;
    if (vs_out_shadowHeight > 20.0) {
        const float tbw2 = 3569.0 / 2.0;
        const float tbh2 = 1778.0 / 2.0;
        const float cw = 47.63;
        const float fw = 72.37;
        const float r = 80.48;
        const float ox = 118.66;
        const float oz = tbh2 + r;
        const float fminx = 45.99;
        const float cr = 122.13;
        const float cox = tbw2 - 110.73;
        const float coz = tbh2 + cr;
        const float cfmaxx = tbw2 - 10.58;
        float x = abs(vs_out_FragPos.x);
        float z = abs(vs_out_FragPos.y);
        if (z < x - tbw2 + tbh2) {
            float folded = x - tbw2 + tbh2;
            x = z + tbw2 - tbh2;
            z = folded;
        }
        if (x < fminx || x > cfmaxx || z > tbh2 + cw + fw) {
            outColor.a = 0.0;
        } else if (x < ox) {
            if ((x - ox) * (x - ox) + (z - oz) * (z - oz) > r * r) outColor.a = 0.0;
        } else if (x > cox) {
            if ((x - cox) * (x - cox) + (z - coz) * (z - coz) > cr * cr) outColor.a = 0.0;
        }
    }
}
)";

const InlineProgramSources kSources[] = {
    {"QBall", kQBallVertex, kQBallFragment},
    {"Text", kTextVertex, kTexturedFragment},
    {"Aim lines", kAimVertex, kAimFragment},
    {"Ball shadow", kBallShadowVertex, kTexturedFragment},
    {"Cue shadow", kCueShadowVertex, kCueShadowFragment},
};

struct Attribute {
    const char* name;
    int floats;
    size_t offset;
};

unsigned compileLogged(const char* function, GLenum stage, const char* code, const char* label, const char* what) {
    const std::string expanded = expandCodeShaderSource(code, label);
    const char* source = expanded.c_str();
    unsigned shader = glCreateShader(stage);
    BZ_GL_TRACE(function);
    glShaderSource(shader, 1, &source, nullptr);
    BZ_GL_TRACE(function);
    glCompileShader(shader);
    BZ_GL_TRACE(function);
    int status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    BZ_GL_TRACE(function);
    char info[512] = {};
    glGetShaderInfoLog(shader, sizeof info, nullptr, info);
    BZ_GL_TRACE(function);
    if (logWanted(LOG_INFO)) {
        logLine(LOG_INFO, function,
                std::string(label) + " " + what + " shader compile status: " + std::to_string(status) + ". Log:\n" +
                    info + "\n\n");
    }
    return shader;
}

// The steps every inline program shares: its buffer, its two stages, the program, its attributes
// and its sampler unit (-1: none).
void setUp(const char* function, InlineProgram& p, const char* label, size_t bufferBytes,
           std::initializer_list<Attribute> attributes, size_t stride, int samplerUnit) {
    const InlineProgramSources& sources = inlineProgramSources(label);
    glBindVertexArray(p.vao);
    BZ_GL_TRACE(function);
    glGenBuffers(1, &p.vbo);
    BZ_GL_TRACE(function);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    BZ_GL_TRACE(function);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bufferBytes), p.clientArray.empty() ? nullptr : p.clientArray.data(),
                 GL_DYNAMIC_DRAW);
    BZ_GL_TRACE(function);
    if (std::string(label) == "Ball shadow") p.texture = createBallShadowTexture();
    if (std::string(label) == "Cue shadow") p.texture = createCueShadowTexture();

    unsigned vs = compileLogged(function, GL_VERTEX_SHADER, sources.vertex, label, "Vertex");
    unsigned fs = compileLogged(function, GL_FRAGMENT_SHADER, sources.fragment, label, "Fragment");
    p.program = glCreateProgram();
    BZ_GL_TRACE(function);
    glAttachShader(p.program, vs);
    BZ_GL_TRACE(function);
    glAttachShader(p.program, fs);
    BZ_GL_TRACE(function);
    glBindFragDataLocation(p.program, 0, "outColor");
    BZ_GL_TRACE(function);
    glLinkProgram(p.program);
    BZ_GL_TRACE(function);
    glUseProgram(p.program);
    BZ_GL_TRACE(function);

    for (const Attribute& a : attributes) {
        const int location = glGetAttribLocation(p.program, a.name);
        BZ_GL_TRACE(function);
        glVertexAttribPointer(GLuint(location), a.floats, GL_FLOAT, GL_FALSE, GLsizei(stride),
                              reinterpret_cast<const void*>(a.offset));
        BZ_GL_TRACE(function);
        glEnableVertexAttribArray(GLuint(location));
        BZ_GL_TRACE(function);
    }
    if (samplerUnit >= 0) {
        glUniform1i(glGetUniformLocation(p.program, "tex"), samplerUnit);
        BZ_GL_TRACE(function);
    }
}

}  // namespace

const InlineProgramSources& inlineProgramSources(const std::string& label) {
    for (const InlineProgramSources& sources : kSources) {
        if (label == sources.label) return sources;
    }
    return kSources[0];
}

void InlinePrograms::init() {
    glGenVertexArrays(1, &ballShadow.vao);
    initShaderProgram();
    glGenVertexArrays(1, &cueShadow.vao);
    initCueShadowShaderProgram();
    glGenVertexArrays(1, &qBall.vao);
    initQBallShaderProgram();
    glGenVertexArrays(1, &aim.vao);
    initAimShaderProgram();
    glGenVertexArrays(1, &text.vao);
    initTextShaderProgram();
}

void InlinePrograms::initShaderProgram() {
    ballShadow.clientArray.assign(kBallShadowArrayBytes / sizeof(float), 0.0f);
    setUp("initShaderProgram", ballShadow, "Ball shadow", kBallShadowArrayBytes,
          {{"aPos", 2, 0}, {"aTexCoord", 2, 8}}, 16, 0);
}

void InlinePrograms::initCueShadowShaderProgram() {
    cueShadow.clientArray.assign(kCueShadowArrayBytes / sizeof(float), 0.0f);
    setUp("initCueShadowShaderProgram", cueShadow, "Cue shadow", kCueShadowArrayBytes,
          {{"aPos", 3, 0}, {"aTexCoord", 2, 12}, {"csh", 1, 20}}, 24, 0);
}

void InlinePrograms::initQBallShaderProgram() {
    qBall.clientArray.assign(kQBallArrayBytes / sizeof(float), 0.0f);
    // The texture coordinates are fixed here; the widget drawer writes only the positions.
    static const float kQuadUv[6][2] = {{0, 1}, {1, 0}, {0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int quad = 0; quad < 2; ++quad) {
        for (int v = 0; v < 6; ++v) {
            float* vertex = &qBall.clientArray[size_t(quad * 6 + v) * 4];
            vertex[2] = kQuadUv[v][0];
            vertex[3] = kQuadUv[v][1];
        }
    }
    setUp("initQBallShaderProgram", qBall, "QBall", kQBallArrayBytes, {{"aPos", 2, 0}, {"aTexCoord", 2, 8}}, 16, 0);
    qBall.transparencyLocation = glGetUniformLocation(qBall.program, "transparency");
    BZ_GL_TRACE("initQBallShaderProgram");
}

void InlinePrograms::initAimShaderProgram() {
    aim.clientArray.assign(kAimArrayBytes / sizeof(float), 0.0f);
    setUp("initAimShaderProgram", aim, "Aim lines", kAimArrayBytes, {{"aPos", 3, 0}, {"aColor", 4, 12}}, 28, -1);
}

void InlinePrograms::initTextShaderProgram() {
    setUp("initTextShaderProgram", text, "Text", kTextBufferBytes, {{"aTextPos", 2, 0}, {"aTextTexCoord", 2, 8}}, 16,
          4);
}
