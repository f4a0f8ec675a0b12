#include "prelude.glsl"
in vec2 TexCoords;
out vec4 outColor;
uniform sampler2D screenTexture;
void main() {
    outColor = vec4(texture(screenTexture, TexCoords).rgb, 1.0);
}
