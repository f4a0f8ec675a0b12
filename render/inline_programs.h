// The five small programs whose GLSL lives in the code: the spin widget ("QBall"), the HUD digits
// ("Text"), the aiming lines and HUD bars ("Aim lines"), and the ball and cue shadows. Each owns its
// vertex array, a buffer allocated once at its largest size, and a client array the drawers fill.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct InlineProgram {
    unsigned vao = 0;
    unsigned vbo = 0;
    unsigned program = 0;
    unsigned texture = 0;          // the shadow texture (ball and cue shadows only)
    int transparencyLocation = -1;  // "QBall" only
    std::vector<float> clientArray;
};

struct InlineProgramSources {
    const char* label;
    const char* vertex;
    const char* fragment;
};

// The GLSL of each program, by label: "QBall", "Text", "Aim lines", "Ball shadow", "Cue shadow".
// Like the file programs' sources, each includes the shader prelude (render/shader_source.h).
const InlineProgramSources& inlineProgramSources(const std::string& label);

// Client array sizes in bytes (the GL buffers of "Text" has no client array of its own: the digit
// drawer stages its vertices in the ball-shadow array).
inline constexpr size_t kBallShadowArrayBytes = 2976;
inline constexpr size_t kCueShadowArrayBytes = 288;
inline constexpr size_t kQBallArrayBytes = 192;
inline constexpr size_t kAimArrayBytes = 40000;
inline constexpr size_t kTextBufferBytes = 576;

class InlinePrograms {
public:
    InlineProgram ballShadow, cueShadow, qBall, aim, text;

    // Creates each program's vertex array just before its set-up, in the start-up order.
    void init();

    void initShaderProgram();
    void initCueShadowShaderProgram();
    void initQBallShaderProgram();
    void initAimShaderProgram();
    void initTextShaderProgram();
};
