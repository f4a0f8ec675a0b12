#include "prelude.glsl"
// The vertex stage of every scene program: world position, normal and tangent frame for lighting.
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoords;
layout(location = 3) in vec3 aTangent;
layout(location = 4) in vec3 aBitangent;

uniform mat4 projection;
uniform mat4 view;
uniform mat4 model;

out vec3 FragPos;
out vec3 Normal;
out vec2 TexCoords;
out vec3 Tangent;
out vec3 Bitangent;

void main() {
    vec4 world = model * vec4(aPos, 1.0);
    mat3 normalMatrix = transpose(inverse(mat3(model)));
    FragPos = world.xyz;
    Normal = normalMatrix * aNormal;
    Tangent = mat3(model) * aTangent;
    Bitangent = mat3(model) * aBitangent;
    TexCoords = aTexCoords;
    gl_Position = projection * view * world;
}
